// What the device asks the person while the page watches: a popup menu, a message box or a
// contact card, shown over the screen near where it opened, until answered here or closed on
// the device. Answers name the serial the device gave, so a late click never hits a later menu.

export class Prompt {
  constructor(frame, screen, send) {
    this.frame = frame;
    this.screen = screen;
    this.send = send;
    this.open = null;  // { kind: 'menu' | 'box' | 'card', serial, element }
    document.addEventListener('keydown', (event) => {
      if (event.key !== 'Escape' || !this.open) return;
      event.preventDefault();
      event.stopPropagation();
      this.cancel();
    }, true);
  }

  showMenu(menu) {
    const panel = this.panel('menu', menu.serial, 'prompt-menu');
    panel.setAttribute('role', 'menu');
    for (const item of menu.items) {
      if (item.separator) {
        panel.append(Object.assign(document.createElement('hr'), { className: 'separator' }));
        continue;
      }
      const button = this.button(`${item.checked ? '✓ ' : ''}${item.text}${item.popup ? ' ▸' : ''}`,
        () => this.answer(`menu ${menu.serial} ${item.id}`));
      button.setAttribute('role', 'menuitem');
      button.dataset.id = item.id;
      // Greyed items and submenus cannot be chosen from here: the device takes command ids only.
      button.disabled = item.grayed || item.popup;
      panel.append(button);
    }
    panel.append(Object.assign(document.createElement('hr'), { className: 'separator' }));
    const cancel = this.button('Cancel', () => this.cancel());
    cancel.className = 'cancel';
    panel.append(cancel);
    this.place(panel, menu.x, menu.y);
  }

  showBox(box) {
    const panel = this.panel('box', box.serial, 'prompt-box');
    panel.setAttribute('role', 'alertdialog');
    panel.append(Object.assign(document.createElement('strong'), { textContent: box.caption }));
    panel.append(Object.assign(document.createElement('p'), { textContent: box.text }));
    const row = Object.assign(document.createElement('div'), { className: 'row' });
    for (const b of box.buttons) {
      const button = this.button(b.label, () => this.answer(`box ${box.serial} ${b.id}`));
      button.dataset.id = b.id;
      row.append(button);
    }
    panel.append(row);
    this.buttons = box.buttons;
    this.place(panel, null, null);
    const preferred = panel.querySelector(`button[data-id="${box.default}"]`);
    if (preferred) preferred.focus();
  }

  showCard(card) {
    const panel = this.panel('card', card.serial, 'prompt-box');
    panel.setAttribute('role', 'dialog');
    panel.append(Object.assign(document.createElement('strong'), { textContent: 'Save contact' }));
    panel.append(Object.assign(document.createElement('p'), { textContent: card.name }));
    const row = Object.assign(document.createElement('div'), { className: 'row' });
    row.append(this.button('Save', () => this.answer(`card ${card.serial} save`)),
      this.button('Cancel', () => this.answer(`card ${card.serial} cancel`)));
    panel.append(row);
    this.place(panel, null, null);
  }

  // The device closed it (answered, timed out or the device restarted).
  closed(kind, serial) {
    if (this.open && this.open.kind === kind && (serial === undefined || this.open.serial === serial)) this.clear();
  }

  cancel() {
    if (!this.open) return;
    const { kind, serial } = this.open;
    if (kind === 'menu') return this.answer(`menu ${serial} cancel`);
    if (kind === 'card') return this.answer(`card ${serial} cancel`);
    // A box is cancelled by its Cancel button, or by OK when that is all it has.
    const ids = this.buttons.map((b) => b.id);
    if (ids.includes(2)) this.answer(`box ${serial} 2`);
    else if (ids.length === 1) this.answer(`box ${serial} ${ids[0]}`);
  }

  answer(line) {
    this.send(line);
    // The overlay goes when the device says the menu closed; until then nothing more is sent.
    if (this.open) this.open.element.querySelectorAll('button').forEach((b) => { b.disabled = true; });
  }

  clear() {
    if (this.open) this.open.element.remove();
    this.open = null;
  }

  panel(kind, serial, className) {
    this.clear();
    const element = document.createElement('div');
    element.className = `prompt ${className}`;
    element.dataset.serial = serial;
    this.frame.append(element);
    this.open = { kind, serial, element };
    return element;
  }

  button(text, action) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = text;
    button.addEventListener('click', action);
    return button;
  }

  // Near the device point (x, y) of the screen, kept inside the screen; centred without one.
  place(panel, x, y) {
    const canvas = this.screen.canvas;
    const frameBox = this.frame.getBoundingClientRect();
    const box = canvas.getBoundingClientRect();
    const scale = box.width / canvas.width;
    const left0 = box.left - frameBox.left, top0 = box.top - frameBox.top;
    const w = panel.offsetWidth, h = panel.offsetHeight;
    let left = x === null ? left0 + (box.width - w) / 2 : left0 + x * scale;
    let top = y === null ? top0 + (box.height - h) / 2 : top0 + y * scale;
    left = Math.max(left0, Math.min(left, left0 + box.width - w));
    top = Math.max(top0, Math.min(top, top0 + box.height - h));
    panel.style.left = `${left}px`;
    panel.style.top = `${top}px`;
  }
}
