// The device console page: the live screen, the keys, the SMS sender, contacts, skins, the
// device's settings and the journal, all talking to the console server of pellix-device.
import { Screen } from './screen.js';
import { call, showResult } from './api.js';
import { Prompt } from './prompt.js';

const $ = (id) => document.getElementById(id);
const JOURNAL_LIMIT = 2000;

let socket = null;
const screen = new Screen($('screen'), (line) => socket && socket.readyState === WebSocket.OPEN && socket.send(line));
const prompt = new Prompt(document.querySelector('.screen-frame'), screen, (line) => screen.send(line));
window.pellixConsole = { screen, prompt, journal: [], answers: [] };

// ---- Connection ----
function connect() {
  socket = new WebSocket(`ws://${location.host}/ws`);
  socket.binaryType = 'arraybuffer';
  socket.onopen = () => { $('status').textContent = 'connected'; $('status').classList.remove('down'); };
  socket.onclose = () => {
    prompt.clear();
    $('status').textContent = 'disconnected: reconnecting…';
    $('status').classList.add('down');
    setTimeout(connect, 1000);
  };
  socket.onmessage = (event) => {
    if (typeof event.data !== 'string') return screen.receive(event.data);
    const message = JSON.parse(event.data);
    if (message.hello) hello(message.hello);
    if (message.journal) message.journal.forEach(addJournal);
    if (message.restarted) { addJournalNote('the device restarted'); prompt.clear(); }
    if (message.menu) prompt.showMenu(message.menu);
    if (message.box) prompt.showBox(message.box);
    if (message.card) prompt.showCard(message.card);
    if (message.menuClosed) prompt.closed('menu', message.menuClosed);
    if (message.boxClosed) prompt.closed('box', message.boxClosed);
    if (message.cardClosed) prompt.closed('card', message.cardClosed);
    if (message.answer) {
      window.pellixConsole.answers.push(message.answer);
      if (message.answer.refused) addJournalNote(`answer refused: ${message.answer.refused}`);
    }
  };
}

function hello(profile) {
  screen.resize(profile.width, profile.height);
  $('screen-info').textContent = `${profile.width}×${profile.height}, ${profile.dpi} dpi, ${profile.platform}, clock ×${profile.clock}`;
  const form = $('device-form');
  for (const name of ['width', 'height', 'dpi', 'platform', 'clock']) form.elements[name].value = profile[name];
}

// ---- Keys ----
const KEYBOARD = { F1: 'F1', F2: 'F2', F3: 'Talk', F4: 'End', End: 'End', ArrowUp: 'Up', ArrowDown: 'Down', ArrowLeft: 'Left', ArrowRight: 'Right', Enter: 'Enter' };
document.addEventListener('keydown', (event) => {
  const target = event.target;
  if (target && (target.tagName === 'INPUT' || target.tagName === 'TEXTAREA' || target.tagName === 'SELECT')) return;
  // While the device asks something, the keys work its question here (Tab, Enter, Escape).
  if (prompt.open) return;
  const key = KEYBOARD[event.key];
  if (!key || event.repeat) return;
  event.preventDefault();
  screen.send(`key ${key}`);
});
document.querySelectorAll('.keys button').forEach((button) => {
  button.addEventListener('click', () => screen.send(`key ${button.dataset.key}`));
});
$('zoom').addEventListener('change', () => screen.setZoom(Number($('zoom').value)));

// ---- Journal ----
function journalLine(parts, className) {
  const item = document.createElement('li');
  if (className) item.className = className;
  for (const [cls, text] of parts) {
    const span = document.createElement('span');
    span.className = cls;
    span.textContent = text;
    item.append(span);
  }
  const list = $('journal');
  const atBottom = list.scrollTop + list.clientHeight >= list.scrollHeight - 4;
  list.append(item);
  while (list.children.length > JOURNAL_LIMIT) list.firstChild.remove();
  if (atBottom) list.scrollTop = list.scrollHeight;
  return item;
}

function addJournal(entry) {
  window.pellixConsole.journal.push(entry);
  const item = journalLine([['time', (entry.time / 1000).toFixed(3)], [`kind kind-${entry.kind}`, entry.kind], ['text', entry.text]]);
  item.dataset.kind = entry.kind;
  if (entry.kind === 'sound' && entry.attachment) {
    const play = document.createElement('button');
    play.textContent = '▶';
    play.title = 'Play what the device played';
    play.addEventListener('click', () => playSound(entry, play));
    item.append(play);
  }
}

function addJournalNote(text) { journalLine([['restart', text]], 'restart'); }

async function playSound(entry, button) {
  try {
    const response = await fetch(`/api/sound?seq=${entry.seq}`);
    if (!response.ok) throw new Error((await response.json()).error);
    const url = URL.createObjectURL(await response.blob());
    const audio = new Audio(url);
    audio.onended = () => URL.revokeObjectURL(url);
    await audio.play();
  } catch (error) {
    button.title = `cannot play: ${error.message}`;
    button.disabled = true;
  }
}

// ---- SMS ----
const PELLIX_CLSID = '{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}';
const smsForm = $('sms-form');
smsForm.addEventListener('submit', async (event) => {
  event.preventDefault();
  const f = smsForm.elements;
  try {
    const result = await call('POST', '/api/sms', { from: f.from.value, report: f.report.value, count: f.count.value }, f.text.value);
    const n = result.delivered.length;
    // What the Inbox's rule clients answered, as `deliver` prints it: Pellix is the one the console installs.
    const handled = result.outcomes.filter((lines) => lines.some((line) => line.startsWith(`rule client ${PELLIX_CLSID}: handled 1`) || line.startsWith(`rule client ${PELLIX_CLSID}: handled 2`))).length;
    const none = result.outcomes.every((lines) => lines.length === 0 || lines[0] === 'no rule client is registered');
    const by = none ? 'no rule client is registered'
      : n === 1 ? (handled ? 'Pellix handled it' : 'Pellix did not handle it') : `Pellix handled ${handled}`;
    showResult($('sms-result'), `delivered ${n} message${n === 1 ? '' : 's'}; ${by}`);
  } catch (error) {
    showResult($('sms-result'), error.message, true);
  }
});
$('preview-button').addEventListener('click', async () => {
  const f = smsForm.elements;
  try {
    $('preview').srcdoc = await call('POST', '/api/preview', { report: f.report.value }, f.text.value);
    showResult($('sms-result'), '');
  } catch (error) {
    showResult($('sms-result'), error.message, true);
  }
});

// ---- Contacts ----
async function loadContacts() {
  const { contacts } = await call('GET', '/api/contacts');
  const list = $('contacts');
  list.replaceChildren();
  for (const c of contacts) {
    const item = document.createElement('li');
    const label = document.createElement('span');
    label.textContent = `${c.name} — ${c.phones.join(', ')}${c.picture ? ' (picture)' : ''}`;
    const remove = document.createElement('button');
    remove.textContent = 'Remove';
    remove.addEventListener('click', async () => {
      try { await call('DELETE', '/api/contacts', { oid: c.oid }); } catch (error) { showResult($('contact-result'), error.message, true); }
      loadContacts();
    });
    item.append(label, remove);
    list.append(item);
  }
}
const contactForm = $('contact-form');
contactForm.addEventListener('submit', async (event) => {
  event.preventDefault();
  const f = contactForm.elements;
  const phones = f.phones.value.split(',').map((p) => p.trim()).filter(Boolean);
  const picture = f.picture.files[0];
  try {
    await call('POST', '/api/contacts', { name: f.name.value, phone: phones }, picture || undefined);
    showResult($('contact-result'), `added ${f.name.value}`);
    contactForm.reset();
  } catch (error) {
    showResult($('contact-result'), error.message, true);
  }
  loadContacts();
});

// ---- Skins ----
function showSkins({ active, skins, findings }) {
  const select = $('skin');
  select.replaceChildren(...skins.map((name) => new Option(name, name, false, name === active)));
  const list = $('findings');
  list.replaceChildren();
  if (!findings.length) {
    const ok = document.createElement('li');
    ok.className = 'ok';
    ok.textContent = `skin "${active}": no problems`;
    list.append(ok);
  }
  for (const f of findings) {
    const item = document.createElement('li');
    item.textContent = f.line ? `${f.file}:${f.line}: ${f.message}` : `${f.file}: ${f.message}`;
    list.append(item);
  }
}
$('skin-apply').addEventListener('click', async () => showSkins(await call('POST', '/api/skins', { name: $('skin').value })));
$('skin-reload').addEventListener('click', async () => showSkins(await call('POST', '/api/skins/reload')));

// ---- Device ----
const deviceForm = $('device-form');
deviceForm.addEventListener('submit', async (event) => {
  event.preventDefault();
  const f = deviceForm.elements;
  showResult($('device-result'), 'restarting…');
  try {
    await call('POST', '/api/device', { width: f.width.value, height: f.height.value, dpi: f.dpi.value, platform: f.platform.value, clock: f.clock.value });
    showResult($('device-result'), 'restarted');
  } catch (error) {
    showResult($('device-result'), error.message, true);
  }
  loadContacts();
  showSkins(await call('GET', '/api/skins'));
});

connect();
loadContacts().catch(() => {});
call('GET', '/api/skins').then(showSkins).catch(() => {});
