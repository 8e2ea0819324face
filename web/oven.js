// The oven's page: the clock, the keys and the buzzer around the oven's own
// tick, which runs in WebAssembly (oven.wasm) exactly as in mwc.
//
// Every 100 ms (less at a higher speed) one tick runs with at most one key
// from the queue. The tick prints its frame on standard output and its trace
// line on descriptor 3; a small stand-in for WASI's file calls catches both.
"use strict";

const TICK_MS = 100;
const TRACE_LINES = 12;        // shown under the diagram
const BUZZER_TONES = 3;        // 900 Hz, 500 ms each, 500 ms apart, as in mwc
const BUZZER_HZ = 900;
const BUZZER_TONE_S = 0.5;
const BUZZER_PERIOD_S = 1.0;
const BUZZER_MS = 2500;        // the tick stands still this long
const FRAMES_OUT = 1;          // standard output
const TRACE_OUT = 3;
const NO_KEY = -1;
const COLOUR = /\x1b\[[0-9;]*m/g;

const page = {};               // the elements, by id
let tick = null;               // the module's tick
let memory = null;
const written = {[FRAMES_OUT]: [], [TRACE_OUT]: []};
const decoder = new TextDecoder();

const queue = [];              // keys pressed, one per tick
const script = [];             // every tick's key so far, for the download
const traceLines = [];
let running = true;
let speed = 1;
let timer = null;
let audio = null;

// --- WASI: just what the C library's output needs -------------------------

const ERRNO_SUCCESS = 0;
const ERRNO_BADF = 8;
const ERRNO_SPIPE = 70;
const FILETYPE_CHARACTER_DEVICE = 2;

const wasi = {
  fd_write(fd, iovs, count, nwritten) {
    const view = new DataView(memory.buffer);
    let total = 0;
    for (let i = 0; i < count; i++) {
      const base = view.getUint32(iovs + 8 * i, true);
      const length = view.getUint32(iovs + 8 * i + 4, true);
      if (fd in written) {
        written[fd].push(new Uint8Array(memory.buffer.slice(base, base + length)));
      }
      total += length;
    }
    view.setUint32(nwritten, total, true);
    return fd in written || fd === 2 ? ERRNO_SUCCESS : ERRNO_BADF;
  },
  fd_fdstat_get(fd, stat) {
    const view = new DataView(memory.buffer);
    for (let i = 0; i < 24; i++) {
      view.setUint8(stat + i, 0);
    }
    view.setUint8(stat, FILETYPE_CHARACTER_DEVICE);
    return ERRNO_SUCCESS;
  },
  fd_seek() {
    return ERRNO_SPIPE;
  },
  fd_close() {
    return ERRNO_SUCCESS;
  },
};

// What the tick wrote on `fd`, as text, and the place emptied.
function take(fd) {
  const chunks = written[fd].splice(0);
  const bytes = new Uint8Array(chunks.reduce((size, chunk) => size + chunk.length, 0));
  let at = 0;
  for (const chunk of chunks) {
    bytes.set(chunk, at);
    at += chunk.length;
  }
  return decoder.decode(bytes);
}

// --- One tick ----------------------------------------------------------------

function runTick() {
  const key = queue.length > 0 ? queue.shift() : NO_KEY;
  script.push(key === NO_KEY ? "." : key);
  tick(key === NO_KEY ? NO_KEY : key.charCodeAt(0));
  const frame = take(FRAMES_OUT).split("\n");
  const line = take(TRACE_OUT).trim();
  const trace = JSON.parse(line);
  show(frame, trace, line);
  return trace;
}

function show(frame, trace, line) {
  const panel = frame.slice(0, 3).map((text) => text.replace(COLOUR, "")).join("\n");
  if (page.panel.textContent !== panel) {
    page.panel.textContent = panel;
  }
  const lit = frame[0].startsWith("\x1b[93m");
  page.panel.classList.toggle("lit", lit);
  page.chamber.classList.toggle("lit", lit); // the lamp inside shares the back light
  page.door.classList.toggle("open", trace.door);
  page.door.classList.toggle("shut", !trace.door);
  page.door.setAttribute("aria-label", trace.door ? "The door is open" : "The door is shut");
  page.tick.textContent = String(trace.tick);
  if (page.state.textContent !== trace.state_name) {
    page.state.textContent = trace.state_name;
    for (const node of page.diagram.querySelectorAll("g.node")) {
      const title = node.querySelector("title");
      node.classList.toggle("active", title !== null && title.textContent === trace.state_name);
    }
  }
  traceLines.push(line);
  traceLines.splice(0, Math.max(0, traceLines.length - TRACE_LINES));
  page.trace.textContent = traceLines.join("\n");
  showWaiting();
}

function showWaiting() {
  page.waiting.textContent = queue.length > 0 ? queue.join(" ") : "none";
}

// --- The clock -----------------------------------------------------------------

// Runs the ticks due in one timer call: one at 1x and 10x, ten at 100x, as
// a browser's timers are not kept to a millisecond. The buzzer holds the
// tick for its 2.5 s, as in mwc.
function loop() {
  timer = null;
  const perCall = Math.max(1, speed / 10);
  for (let i = 0; i < perCall; i++) {
    if (runTick().buzzer) {
      buzz();
      schedule(BUZZER_MS);
      return;
    }
  }
  schedule(TICK_MS * perCall / speed);
}

function schedule(ms) {
  if (running && timer === null) {
    timer = setTimeout(loop, ms);
  }
}

function setRunning(run) {
  running = run;
  if (!run && timer !== null) {
    clearTimeout(timer);
    timer = null;
  }
  page.run.disabled = run;
  page.pause.disabled = !run;
  page.step.disabled = run;
  schedule(TICK_MS / speed);
}

// --- Sound ---------------------------------------------------------------------

// Browsers start sound only from a click or a key press; until then the
// buzzer is silent, and nothing fails for it.
function wakeAudio() {
  const Context = window.AudioContext || window.webkitAudioContext;
  if (audio === null && Context !== undefined) {
    try {
      audio = new Context();
    } catch (error) {
      audio = null;
      return;
    }
  }
  if (audio !== null && audio.state === "suspended") {
    audio.resume().then(showSound, () => {});
  }
  showSound();
}

function showSound() {
  if (audio !== null && audio.state === "running") {
    page.sound.textContent = "Sound: on. The buzzer is three tones of 900 Hz.";
  }
}

function buzz() {
  if (audio === null || audio.state !== "running") {
    return;
  }
  const start = audio.currentTime;
  for (let i = 0; i < BUZZER_TONES; i++) {
    const at = start + i * BUZZER_PERIOD_S;
    const tone = audio.createOscillator();
    const level = audio.createGain();
    tone.frequency.value = BUZZER_HZ;
    // 5 ms fades, so the tone starts and ends without a click.
    level.gain.setValueAtTime(0, at);
    level.gain.linearRampToValueAtTime(0.2, at + 0.005);
    level.gain.setValueAtTime(0.2, at + BUZZER_TONE_S - 0.005);
    level.gain.linearRampToValueAtTime(0, at + BUZZER_TONE_S);
    tone.connect(level).connect(audio.destination);
    tone.start(at);
    tone.stop(at + BUZZER_TONE_S);
  }
}

// --- Keys and buttons ------------------------------------------------------

function press(key) {
  queue.push(key);
  showWaiting();
}

function download() {
  const file = new Blob([script.join("")], {type: "application/octet-stream"});
  const link = document.createElement("a");
  link.href = URL.createObjectURL(file);
  link.download = "oven.keys";
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}

function wire() {
  for (const id of ["panel", "chamber", "door", "waiting", "run", "pause", "step", "speed", "tick",
                    "state", "sound", "diagram", "trace", "download"]) {
    page[id] = document.getElementById(id);
  }
  for (const button of document.querySelectorAll("button[data-key]")) {
    button.addEventListener("click", () => press(button.dataset.key));
  }
  document.addEventListener("keydown", (event) => {
    const typing = event.target instanceof HTMLSelectElement;
    if (!typing && !event.ctrlKey && !event.altKey && !event.metaKey && /^[a-f]$/.test(event.key)) {
      press(event.key);
      event.preventDefault();
    }
  });
  document.addEventListener("pointerdown", wakeAudio);
  document.addEventListener("keydown", wakeAudio);
  page.run.addEventListener("click", () => setRunning(true));
  page.pause.addEventListener("click", () => setRunning(false));
  page.step.addEventListener("click", () => {
    if (!running && runTick().buzzer) {
      buzz();
    }
  });
  page.speed.addEventListener("change", () => {
    speed = Number(page.speed.value);
  });
  page.download.addEventListener("click", download);
}

async function start() {
  wire();
  const [module, diagram] = await Promise.all([
    WebAssembly.instantiateStreaming(fetch("oven.wasm"), {wasi_snapshot_preview1: wasi}),
    fetch("controller.svg").then((response) => response.text()),
  ]);
  page.diagram.innerHTML = diagram;
  memory = module.instance.exports.memory;
  module.instance.exports._initialize();
  tick = module.instance.exports.mwc_tick;
  setRunning(true);
}

start();
