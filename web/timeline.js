// The timeline: a column per tick, the newest on the right, lanes from top
// to bottom. The ticks are kept in typed arrays, a ring of the last
// CAPACITY, and only the columns on screen are drawn, on a canvas that stays
// put while a wide, empty box under it gives the scroll bar its length: a
// tick costs the same in a long session as in a short one.
import {oven, stateMeaning, stateName} from "./tick.js";

export const CAPACITY = 20000;
const COLUMN_PX = 11;              // 10 of column and 1 of gap
const MIN_TIME_SCALE_S = 10;       // the time lane's scale: at least a key a's worth

// The lanes, top to bottom: the one place their order, names and heights
// are written; the names beside the canvas are placed from here too.
const LANES = [
  {name: "state", px: 14},
  {name: "time, °C", px: 50, level: true},
  {name: "door", px: 10, flag: "door"},
  {name: "light", px: 10, flag: "light"},
  {name: "buzzer", px: 10, flag: "buzzer"},
  {name: "key", px: 12, key: true},
];
const LANE_GAP_PX = 1;
const FLAGS = {door: 1, light: 2, buzzer: 4, taken: 8, time_mode: 16};
const INK = {lane: "#eceae4", level: "#fbfaf7", value: "#1565c0", target: "#ef6c00",
             on: "#f4a300", buzzer: "#b00020", taken: "#2e7d32", dropped: "#b00020",
             keyText: "#fff", chosen: "#1a4fd0", mark: "#1a4fd0"};

// The ring: index (first + i) % CAPACITY holds the i-th kept tick.
const store = {
  from: new Uint8Array(CAPACITY),     // the state before the tick
  state: new Uint8Array(CAPACITY),    // and after it
  key: new Uint8Array(CAPACITY),      // its key's byte, 0 for none
  flags: new Uint8Array(CAPACITY),
  value: new Float32Array(CAPACITY),  // the time, or the temperature, 0 to 1
  target: new Float32Array(CAPACITY), // the target temperature, 0 to 1; NaN cooking by time
  lines: new Array(CAPACITY),         // the trace lines, for a chosen tick
  first: 0,
  kept: 0,
  ticks: 0,                           // every tick of the session: the newest's number
};
let timeScale = MIN_TIME_SCALE_S;     // the time that was set, for the time lane
let startedBefore = false;
let marks = new Map();                // tick -> what an evidence played marks there
let chosen = 0;                       // the chosen tick, 0 for none
let element = null;                   // {box, canvas, width, names}
let follow = true;                    // the view keeps the newest tick in it
let dirty = true;
let dropped = 0;                      // the oldest ticks let go since the last drawing

// A colour for each state, by its number: a palette told apart at a
// glance, and hues round the wheel for any state past it.
const PALETTE = ["#9aa0a6", "#6a1b9a", "#ce93d8", "#00838f", "#80deea", "#2e7d32", "#f4a300",
                 "#e65100", "#b00020"];
const HUES = 360;

export function stateColour(number) {
  if (number >= 1 && number <= PALETTE.length) {
    return PALETTE[number - 1];
  }
  return `hsl(${Math.round((number * HUES) / (oven.states.length + 1)) % HUES} 60% 45%)`;
}

function slot(index) {
  return (store.first + index) % CAPACITY;
}

// The kept index of tick `tick`, or -1 when it is not kept.
function indexOf(tick) {
  const index = tick - (store.ticks - store.kept) - 1;
  return index >= 0 && index < store.kept ? index : -1;
}

export function firstTick() {
  return store.ticks - store.kept + 1;
}

export function lastTick() {
  return store.ticks;
}

// Adds the tick that `trace` (and `line`, its text) tells, which ran with
// `key` (a character, or null) from state `from`.
export function addTick(trace, line, key, from) {
  let at = slot(store.kept);
  if (store.kept === CAPACITY) {
    at = store.first;
    store.first = (store.first + 1) % CAPACITY;
    dropped++;
  } else {
    store.kept++;
  }
  store.ticks = trace.tick;
  store.from[at] = from;
  store.state[at] = trace.state;
  store.key[at] = key === null ? 0 : key.charCodeAt(0);
  store.flags[at] = (trace.door ? FLAGS.door : 0) | (trace.light ? FLAGS.light : 0) |
      (trace.buzzer ? FLAGS.buzzer : 0) | (trace.taken ? FLAGS.taken : 0) |
      (trace.time_mode ? FLAGS.time_mode : 0);
  // Scaled to the time that was set: the most since the oven last cooked.
  timeScale = startedBefore && !trace.start ? MIN_TIME_SCALE_S : Math.max(timeScale, trace.time);
  startedBefore = trace.start;
  const span = oven.max_temp_c - oven.ambient_temp_c;
  store.value[at] = trace.time_mode ? trace.time / timeScale
                                    : (trace.cur_temp - oven.ambient_temp_c) / span;
  store.target[at] = trace.time_mode ? NaN : (trace.set_temp - oven.ambient_temp_c) / span;
  store.lines[at] = line;
  dirty = true;
}

export function clear() {
  Object.assign(store, {first: 0, kept: 0, ticks: 0});
  dropped = 0;
  store.lines.fill(undefined);
  timeScale = MIN_TIME_SCALE_S;
  startedBefore = false;
  marks = new Map();
  chosen = 0;
  follow = true;
  dirty = true;
}

// What an evidence played marks: tick -> words.
export function setMarks(marked) {
  marks = marked;
  dirty = true;
}

// The tick `index` (kept) as the chooser tells it: {tick, from, state, key,
// taken, buzzer, line, mark}.
export function tickAt(tick) {
  const index = indexOf(tick);
  if (index < 0) {
    return null;
  }
  const at = slot(index);
  const flags = store.flags[at];
  return {tick, from: store.from[at], state: store.state[at],
          key: store.key[at] === 0 ? null : String.fromCharCode(store.key[at]),
          taken: (flags & FLAGS.taken) !== 0, buzzer: (flags & FLAGS.buzzer) !== 0,
          line: store.lines[at], mark: marks.get(tick) ?? null};
}

// The next tick after `tick` (before it, `step` -1) that `wanted` picks, or
// 0: wanted(at) reads the ring at slot `at`.
function seek(tick, step, wanted) {
  for (let t = tick + step; indexOf(t) >= 0; t += step) {
    if (wanted(slot(indexOf(t)))) {
      return t;
    }
  }
  return 0;
}

// The kinds of tick the page can go to, next or back.
export const SEEKS = {
  key: {words: "key", test: (at) => store.key[at] !== 0},
  dropped: {words: "dropped key",
            test: (at) => store.key[at] !== 0 && (store.flags[at] & FLAGS.taken) === 0},
  change: {words: "change of state", test: (at) => store.from[at] !== store.state[at]},
  buzzer: {words: "buzzer", test: (at) => (store.flags[at] & FLAGS.buzzer) !== 0},
};

export function seekFrom(tick, step, kind) {
  return seek(tick, step, SEEKS[kind].test);
}

export function chosenTick() {
  return chosen;
}

// Chooses `tick` (0 for none) and brings it into view.
export function choose(tick) {
  chosen = indexOf(tick) >= 0 ? tick : 0;
  if (chosen !== 0) {
    const x = (indexOf(chosen)) * COLUMN_PX;
    const {box} = element;
    if (x < box.scrollLeft || x + COLUMN_PX > box.scrollLeft + box.clientWidth) {
      box.scrollLeft = x - box.clientWidth / 2;
    }
  }
  dirty = true;
  draw();
  return chosen;
}

// The tick under the pointer at `clientX`, or 0.
export function tickAtX(clientX) {
  const rect = element.box.getBoundingClientRect();
  const index = Math.floor((clientX - rect.left + element.box.scrollLeft) / COLUMN_PX);
  return index >= 0 && index < store.kept ? firstTick() + index : 0;
}

// How many columns one screen of the timeline shows.
export function columnsInView() {
  return Math.max(1, Math.floor(element.box.clientWidth / COLUMN_PX));
}

function laneTops() {
  let top = 0;
  return LANES.map((lane) => {
    const at = top;
    top += lane.px + LANE_GAP_PX;
    return at;
  });
}

// Sets the timeline up in `box`, with the lane names in `names`.
export function mount(box, names) {
  const canvas = document.createElement("canvas");
  const width = document.createElement("div");
  width.className = "timeline-width";
  box.replaceChildren(canvas, width);
  element = {box, canvas, width};
  const tops = laneTops();
  const height = tops[tops.length - 1] + LANES[LANES.length - 1].px;
  box.style.setProperty("--lanes-px", `${height}px`);
  names.replaceChildren(...LANES.map((lane, i) => {
    const name = document.createElement("span");
    name.textContent = lane.name;
    name.style.top = `${tops[i]}px`;
    name.style.height = `${lane.px}px`;
    name.style.lineHeight = `${lane.px}px`;
    return name;
  }));
  box.addEventListener("scroll", () => {
    follow = box.scrollLeft + box.clientWidth >= box.scrollWidth - COLUMN_PX;
    dirty = true;
    requestAnimationFrame(draw);
  }, {passive: true});
  new ResizeObserver(() => {
    dirty = true;
    draw();
  }).observe(box);
}

// The state key: each state's colour beside its name.
export function showStateKey(list) {
  list.replaceChildren(...oven.states.map(({number, name}) => {
    const item = document.createElement("li");
    const band = Object.assign(document.createElement("span"), {className: "band"});
    band.style.background = stateColour(number);
    item.append(band, name);
    return item;
  }));
}

// Draws what is on screen, if anything changed since the last time.
export function draw() {
  if (!dirty || element === null) {
    return;
  }
  dirty = false;
  const {box, canvas, width} = element;
  const total = store.kept * COLUMN_PX;
  width.style.width = `${total}px`;
  if (follow) {
    box.scrollLeft = total;
  } else if (dropped > 0) {
    box.scrollLeft -= dropped * COLUMN_PX; // the ticks in view stay in view
  }
  dropped = 0;
  const scale = window.devicePixelRatio || 1;
  const cssWidth = box.clientWidth;
  const tops = laneTops();
  const cssHeight = tops[tops.length - 1] + LANES[LANES.length - 1].px;
  if (canvas.width !== Math.round(cssWidth * scale) || canvas.height !== Math.round(cssHeight * scale)) {
    canvas.width = Math.round(cssWidth * scale);
    canvas.height = Math.round(cssHeight * scale);
    canvas.style.width = `${cssWidth}px`;
    canvas.style.height = `${cssHeight}px`;
  }
  const context = canvas.getContext("2d");
  context.setTransform(scale, 0, 0, scale, 0, 0);
  context.clearRect(0, 0, cssWidth, cssHeight);
  const from = Math.floor(box.scrollLeft / COLUMN_PX);
  const to = Math.min(store.kept, Math.ceil((box.scrollLeft + cssWidth) / COLUMN_PX));
  for (let index = from; index < to; index++) {
    drawColumn(context, index, index * COLUMN_PX - box.scrollLeft, tops);
  }
}

function drawColumn(context, index, x, tops) {
  const at = slot(index);
  const width = COLUMN_PX - 1;
  const flags = store.flags[at];
  const tick = firstTick() + index;
  LANES.forEach((lane, i) => {
    const y = tops[i];
    if (i === 0) {
      context.fillStyle = stateColour(store.state[at]);
    } else if (lane.level) {
      context.fillStyle = INK.level;
    } else if (lane.flag !== undefined && (flags & FLAGS[lane.flag]) !== 0) {
      context.fillStyle = lane.flag === "buzzer" ? INK.buzzer : INK.on;
    } else if (lane.key && store.key[at] !== 0) {
      context.fillStyle = (flags & FLAGS.taken) !== 0 ? INK.taken : INK.dropped;
    } else {
      context.fillStyle = INK.lane;
    }
    context.fillRect(x, y, width, lane.px);
    if (lane.level) {
      const line = (value, ink) => {
        context.fillStyle = ink;
        context.fillRect(x, y + lane.px - 2 - Math.max(0, Math.min(1, value)) * (lane.px - 2), width, 2);
      };
      if (!Number.isNaN(store.target[at])) {
        line(store.target[at], INK.target);
      }
      line(store.value[at], INK.value);
    }
    if (lane.key && store.key[at] !== 0) {
      context.fillStyle = INK.keyText;
      context.font = `${lane.px - 2}px ui-monospace, monospace`;
      context.textAlign = "center";
      context.textBaseline = "middle";
      context.fillText(String.fromCharCode(store.key[at]), x + width / 2, y + lane.px / 2 + 1);
    }
  });
  const height = tops[tops.length - 1] + LANES[LANES.length - 1].px;
  if (marks.has(tick)) {
    context.strokeStyle = INK.mark;
    context.lineWidth = 2;
    context.strokeRect(x + 1, 1, width - 2, LANES[0].px - 2);
  }
  if (tick === chosen) {
    context.strokeStyle = INK.chosen;
    context.lineWidth = 2;
    context.strokeRect(x, 1, width, height - 2);
  }
}

// What tick `tick` did, and why, in words: from its key, the states before
// and after, the label of the transition taken (from `labelOf`), and the
// states' meanings, all from the oven's own code.
export function explain(tick, labelOf) {
  const t = tickAt(tick);
  if (t === null) {
    return "";
  }
  const from = stateName(t.from);
  const to = stateName(t.state);
  const moved = from === to ? `${from} stays` : `${from} \u2192 ${to}`;
  const label = labelOf(t.from, t.state, t.key);
  const by = label === "" ? "" : `, by ${label}`;
  const mark = t.mark === null ? "" : ` Evidence: ${t.mark}.`;
  if (t.buzzer) {
    return `${moved}${by}: the buzzer sounds, and the tick stands still for it.${mark}`;
  }
  if (t.key === null) {
    return `No key. ${moved}${by}. ${to}: ${stateMeaning(t.state)}.${mark}`;
  }
  if (t.taken) {
    const does = t.key === oven.quit ? "quit" : oven.keys.find(({key}) => key === t.key)?.does ?? "";
    return `${t.key} taken (${does}). ${moved}${by}.${mark}`;
  }
  return `${t.key} dropped: ${from} is ${stateMeaning(t.from)}; ${moved}${by}.${mark}`;
}
