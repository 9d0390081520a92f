// The handheld's screen in a canvas: frames of changed rectangles from the device, drawn in the
// order they came, and the stylus: a click is a tap, a held click a long press.

const LONG_PRESS_MS = 500;

// Reads a frame message: u8 kind, u8 key, u16 width, u16 height, u16 count, then per rectangle
// u16 x, y, w, h, u32 size and that many bytes of PNG.
export function decodeFrame(buffer) {
  const view = new DataView(buffer);
  if (view.byteLength < 8 || view.getUint8(0) !== 1) return null;
  const frame = { key: view.getUint8(1) === 1, width: view.getUint16(2, true), height: view.getUint16(4, true), rects: [] };
  const count = view.getUint16(6, true);
  let at = 8;
  for (let i = 0; i < count; i++) {
    if (at + 12 > view.byteLength) return null;
    const r = { x: view.getUint16(at, true), y: view.getUint16(at + 2, true), w: view.getUint16(at + 4, true), h: view.getUint16(at + 6, true) };
    const size = view.getUint32(at + 8, true);
    at += 12;
    if (at + size > view.byteLength) return null;
    r.png = new Uint8Array(buffer, at, size);
    at += size;
    frame.rects.push(r);
  }
  return frame;
}

export class Screen {
  constructor(canvas, send) {
    this.canvas = canvas;
    this.context = canvas.getContext('2d');
    this.send = send;
    this.zoom = 0;  // 0: the largest whole factor that fits
    this.drawing = Promise.resolve();
    // What tests and measurements read: frames drawn, bytes received, when the last one landed.
    this.stats = { frames: 0, bytes: 0, lastFrameAt: 0 };
    this.listenToStylus();
    window.addEventListener('resize', () => this.fit());
  }

  resize(width, height) {
    if (this.canvas.width !== width || this.canvas.height !== height) {
      this.canvas.width = width;
      this.canvas.height = height;
    }
    this.fit();
  }

  setZoom(zoom) {
    this.zoom = zoom;
    this.fit();
  }

  // Scales by a whole factor so every device pixel is a square of screen pixels.
  fit() {
    const { width, height } = this.canvas;
    let factor = this.zoom;
    if (!factor) {
      const room = Math.max(1, window.innerHeight - 220);
      factor = Math.max(1, Math.min(4, Math.floor(room / height)));
    }
    this.factor = factor;
    // CSS pixels per device pixel, corrected for the display's own scale so the result is whole.
    const css = factor / (window.devicePixelRatio || 1) * Math.max(1, Math.round(window.devicePixelRatio || 1));
    this.canvas.style.width = `${width * css}px`;
    this.canvas.style.height = `${height * css}px`;
    return factor;
  }

  // Frames are drawn strictly in order: a later rectangle may cover an earlier one.
  receive(buffer) {
    this.stats.bytes += buffer.byteLength;
    const frame = decodeFrame(buffer);
    if (!frame) return;
    this.drawing = this.drawing.then(async () => {
      if (frame.width !== this.canvas.width || frame.height !== this.canvas.height) this.resize(frame.width, frame.height);
      const pictures = await Promise.all(frame.rects.map((r) => createImageBitmap(new Blob([r.png], { type: 'image/png' }))));
      frame.rects.forEach((r, i) => this.context.drawImage(pictures[i], r.x, r.y));
      this.stats.frames += 1;
      this.stats.lastFrameAt = performance.now();
    }).catch(() => {});
  }

  devicePoint(event) {
    const box = this.canvas.getBoundingClientRect();
    const x = Math.floor((event.clientX - box.left) * this.canvas.width / box.width);
    const y = Math.floor((event.clientY - box.top) * this.canvas.height / box.height);
    return { x: Math.min(Math.max(x, 0), this.canvas.width - 1), y: Math.min(Math.max(y, 0), this.canvas.height - 1) };
  }

  listenToStylus() {
    let down = null;
    this.canvas.addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      this.canvas.setPointerCapture(event.pointerId);
      down = { at: performance.now(), point: this.devicePoint(event) };
    });
    this.canvas.addEventListener('pointerup', (event) => {
      if (!down) return;
      const held = Math.round(performance.now() - down.at);
      const { x, y } = down.point;
      this.send(held >= LONG_PRESS_MS ? `press ${x} ${y} ${held}` : `tap ${x} ${y}`);
      down = null;
    });
    this.canvas.addEventListener('pointercancel', () => { down = null; });
  }
}
