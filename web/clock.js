// The page's clock. Ticks are owed for the time that has passed since it
// started, at the speed chosen; each call runs the owed ticks in a slice
// that ends after SLICE_MS, then gives the browser the main thread back, to
// draw and to answer a click or a key. When the page falls further behind
// than MAX_BEHIND_MS, the debt is dropped and the clock starts again: the
// page runs slower than chosen, and says so, rather than hold the thread.
// A page left in the background catches up the same way.

const SLICE_MS = 12;           // owed ticks run at once: well inside a frame
const MAX_BEHIND_MS = 250;
const RATE_WINDOW_MS = 1000;   // the ticks a second are counted over this
const MS_PER_S = 1000;

let tickMs = 100;
let speed = 1;
let running = false;
let timer = null;
let owedFrom = null;           // {start, ticks}: when the clock started, ticks run since
let hooks = null;              // {step, render, rate}
const rate = {from: 0, ticks: 0, behind: false};

// `step()` runs one tick and returns {hold}: the milliseconds the tick
// holds the clock (the buzzer), or 0; `render()` shows the ticks run;
// `rate(ticksPerSecond, behind)` says how fast the page really runs.
export function setUp(periodMs, step, render, rateShown) {
  tickMs = periodMs;
  hooks = {step, render, rate: rateShown};
}

export function isRunning() {
  return running;
}

export function speedChosen() {
  return speed;
}

function restartRate(now) {
  Object.assign(rate, {from: now, ticks: 0, behind: false});
}

function countRate(now, ran) {
  rate.ticks += ran;
  if (now - rate.from >= RATE_WINDOW_MS) {
    hooks.rate(Math.round((rate.ticks * MS_PER_S) / (now - rate.from)), rate.behind);
    restartRate(now);
  }
}

function slice() {
  timer = null;
  const start = performance.now();
  const period = tickMs / speed;
  if (owedFrom === null) {
    owedFrom = {start: start - period, ticks: 0};
  }
  let owed = Math.floor((start - owedFrom.start) / period) - owedFrom.ticks;
  if (owed * period > MAX_BEHIND_MS) {
    rate.behind = true;
    owedFrom = {start: start - period, ticks: 0};
    owed = 1;
  }
  let ran = 0;
  let hold = 0;
  while (owed > 0 && running && hold === 0) {
    owedFrom.ticks++;
    owed--;
    ran++;
    hold = hooks.step().hold;
    if (performance.now() - start >= SLICE_MS) {
      break;
    }
  }
  hooks.render();
  const now = performance.now();
  countRate(now, ran);
  if (!running) {
    return; // a tick paused the page: a q, or a script's end
  }
  if (hold > 0) {
    // The tick stands still for the buzzer, as in mwc; the clock starts
    // again after it, and the rate with it.
    owedFrom = null;
    timer = setTimeout(() => {
      timer = null;
      restartRate(performance.now());
      slice();
    }, hold);
    return;
  }
  const next = owed > 0 ? 0 : owedFrom.start + (owedFrom.ticks + 1) * period - now;
  schedule(Math.max(0, next));
}

function schedule(ms) {
  if (running && timer === null) {
    timer = setTimeout(slice, ms);
  }
}

export function setRunning(run) {
  running = run;
  owedFrom = null;
  if (timer !== null) {
    clearTimeout(timer);
    timer = null;
  }
  restartRate(performance.now());
  if (run) {
    schedule(tickMs / speed);
  }
}

export function setSpeed(chosen) {
  speed = chosen;
  owedFrom = null;
  restartRate(performance.now());
}

// The ticks a second the speed chosen asks for.
export function ticksPerSecondChosen() {
  return Math.round((MS_PER_S * speed) / tickMs);
}
