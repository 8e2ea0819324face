// Choosing a tick on the timeline: by pointing at it or tapping it, with
// the arrow keys, Page Up and Page Down, Home and End, by its number, or as
// the next (or last) key, dropped key, change of state or buzzer. The
// chosen tick's trace line and what happened in it are shown under it.
import * as diagram from "./diagram.js";
import * as timeline from "./timeline.js";

let page = null;
let pointer = null;            // where the pointer last was: {x, y}

function show(tick) {
  const chosen = timeline.choose(tick);
  const t = timeline.tickAt(chosen);
  const said = t === null ? "" : `Tick ${chosen}: ${timeline.explain(chosen, diagram.transitionLabel)}`;
  page.tickLine.textContent = t?.line ?? "";
  page.tickSaid.textContent = said;
  page.timeline.setAttribute("aria-valuemin", String(timeline.firstTick()));
  page.timeline.setAttribute("aria-valuemax", String(timeline.lastTick()));
  page.timeline.setAttribute("aria-valuenow", String(chosen));
  page.timeline.setAttribute("aria-valuetext", said === "" ? "no tick" : said);
}

// The tick the keys move from: the chosen one, else the newest.
function current() {
  return timeline.chosenTick() || timeline.lastTick();
}

function onKey(event) {
  const screen = timeline.columnsInView();
  const moves = {
    ArrowLeft: () => current() - 1,
    ArrowRight: () => current() + 1,
    PageUp: () => current() - screen,
    PageDown: () => current() + screen,
    Home: () => timeline.firstTick(),
    End: () => timeline.lastTick(),
  };
  if (!(event.key in moves) || timeline.lastTick() === 0) {
    return;
  }
  const wanted = moves[event.key]();
  show(Math.min(timeline.lastTick(), Math.max(timeline.firstTick(), wanted)));
  event.preventDefault();
}

// A pointer that moves chooses the tick under it; one that rests while
// the keys move the view does not take the choice back.
function onPointer(event) {
  const moved = pointer === null || pointer.x !== event.clientX || pointer.y !== event.clientY;
  pointer = {x: event.clientX, y: event.clientY};
  if (moved || event.type === "pointerdown") {
    const tick = timeline.tickAtX(event.clientX);
    if (tick !== 0) {
      show(tick);
    }
  }
}

function goTo(event) {
  event.preventDefault();
  const wanted = Number(page.gotoTick.value);
  if (!Number.isInteger(wanted) || timeline.lastTick() === 0) {
    page.seekSaid.textContent = "A tick is a whole number.";
    return;
  }
  const tick = Math.min(timeline.lastTick(), Math.max(timeline.firstTick(), wanted));
  page.seekSaid.textContent = tick === wanted ? "" : `The timeline holds ticks ${timeline.firstTick()} ` +
      `to ${timeline.lastTick()}: tick ${tick} is chosen.`;
  show(tick);
}

function seek(step) {
  const kind = page.seekKind.value;
  const found = timeline.seekFrom(current(), step, kind);
  const words = page.seekKind.selectedOptions[0].textContent;
  page.seekSaid.textContent = found === 0 ? `No ${words} ${step > 0 ? "after" : "before"} ` +
      `tick ${current()}.` : "";
  if (found !== 0) {
    show(found);
  }
}

export function wireTimeline(elements) {
  page = elements;
  page.timeline.addEventListener("keydown", onKey);
  page.timeline.addEventListener("pointermove", onPointer);
  page.timeline.addEventListener("pointerdown", onPointer);
  page.timeline.addEventListener("focus", () => {
    if (timeline.chosenTick() === 0 && timeline.lastTick() > 0) {
      show(timeline.lastTick());
    }
  });
  for (const [kind, {words}] of Object.entries(timeline.SEEKS)) {
    page.seekKind.append(new Option(words, kind));
  }
  page.gotoForm.addEventListener("submit", goTo);
  page.seekBack.addEventListener("click", () => seek(-1));
  page.seekNext.addEventListener("click", () => seek(1));
}

// Forgets the chosen tick, after a start-up.
export function forgetChoice() {
  show(0);
}
