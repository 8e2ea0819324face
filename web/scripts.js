// Key scripts in and out: the session's own script, as one byte per tick;
// a script read as mwc-check prints it or as a file holds it; and the
// printed form a link carries.
import {oven} from "./tick.js";

export const MAX_SCRIPT_TICKS = 1000000;
export const MAX_FILE_BYTES = 1 << 20;  // a script file the page will read
const MAX_RUN_DIGITS = 7;               // a run's N: MAX_SCRIPT_TICKS fits
const FIRST_CHUNK = 4096;

// The session's keys so far, a byte a tick: grows by doubling, so that a
// long session costs a byte a tick and no more.
let bytes = new Uint8Array(FIRST_CHUNK);
let length = 0;

export function forget() {
  length = 0;
}

export function record(key) {
  if (length === bytes.length) {
    const larger = new Uint8Array(bytes.length * 2);
    larger.set(bytes);
    bytes = larger;
  }
  bytes[length++] = (key ?? oven.script.idle_tick).charCodeAt(0);
}

export function recorded() {
  return new TextDecoder().decode(bytes.subarray(0, length));
}

// `keys` as mwc-check prints a script, without its spaces: a run of ticks
// without a key as ".{N}", so that a long session is a short link.
export function printed(keys) {
  const idle = oven.script.idle_tick;
  let text = "";
  for (let at = 0; at < keys.length;) {
    let run = 1;
    while (keys[at] === idle && keys[at + run] === idle) {
      run++;
    }
    text += run === 1 ? keys[at] : `${idle}{${run}}`;
    at += run;
  }
  return text;
}

function alphabet() {
  return new Set([...oven.panelKeys, oven.quit, oven.script.idle_tick]);
}

function describe() {
  const idle = oven.script.idle_tick;
  return `a script holds the keys ${oven.keys.map(({key}) => key).join(" ")} and ${oven.quit}, ` +
         `${idle} for no key, ${idle}{N} for N of them, spaces, and one loop in parentheses ` +
         "at the end.";
}

// A script as mwc-check prints it, or as a file holds it: a key or "."
// per tick, spaces and line ends ignored, ".{N}" for N ticks without a
// key, and a loop in parentheses at the end, written out as many times as
// mwc-check --script writes it. Its keys as a string, a byte a tick, up to
// and with the first q, where mwc and mwc-replay end; or, for anything
// else, an Error that names the first bad character and where it is.
export function parseScript(text) {
  const idle = oven.script.idle_tick;
  const keys = alphabet();
  const parts = [];
  let ticks = 0;
  let loopFrom = -1;
  let looped = false;
  let afterIdle = false;       // the last character read was a single "."
  const bad = (at, why) =>
      new Error(`The script has ${JSON.stringify(text[at] ?? "")} at character ${at + 1}: ${why}`);
  const add = (part, at) => {
    parts.push(part);
    ticks += part.length;
    if (ticks > MAX_SCRIPT_TICKS) {
      throw bad(at, `a script runs at most ${MAX_SCRIPT_TICKS} ticks.`);
    }
  };
  for (let at = 0; at < text.length; at++) {
    const c = text[at];
    if (/\s/.test(c)) {
      continue;
    }
    if (looped) {
      throw bad(at, "nothing may follow the loop.");
    }
    if (c === "{" && afterIdle) {
      const run = new RegExp(`^\\{([0-9]{1,${MAX_RUN_DIGITS}})\\}`).exec(text.slice(at, at + 16));
      if (run === null) {
        throw bad(at, `a run of ticks without a key is written ${idle}{N}.`);
      }
      parts.pop(); // the "." before the braces was the run's first tick
      ticks--;
      add(idle.repeat(Number(run[1])), at);
      at += run[0].length - 1;
    } else if (c === "(" && loopFrom < 0) {
      loopFrom = parts.length;
    } else if (c === ")" && loopFrom >= 0 && parts.slice(loopFrom).join("") !== "") {
      const loop = parts.slice(loopFrom).join("");
      for (let round = 1; round < oven.script.loop_rounds; round++) {
        add(loop, at);
      }
      looped = true;
    } else if (keys.has(c)) {
      add(c, at);
    } else {
      throw bad(at, describe());
    }
    afterIdle = c === idle;
  }
  if (loopFrom >= 0 && !looped) {
    throw bad(text.lastIndexOf("("), "this loop is never closed.");
  }
  const all = parts.join("");
  const quit = all.indexOf(oven.quit);
  return quit < 0 ? all : all.slice(0, quit + 1);
}

// Why a file cannot be run as a script without reading it, or null.
export function refusedFile(file) {
  if (file.size <= MAX_FILE_BYTES) {
    return null;
  }
  const size = (bytes) => `${(bytes / MAX_FILE_BYTES).toLocaleString("en", {maximumFractionDigits: 1})} MiB`;
  return `${file.name} is ${size(file.size)}; the page reads a script of at most ` +
         `${size(MAX_FILE_BYTES)}. mwc-replay runs a script of any length.`;
}

// A link to this page that plays `keys` from start-up at `speed`.
export function linkTo(keys, speed) {
  const link = new URL(window.location.href);
  link.hash = `keys=${printed(keys)}${speed > 1 ? `&speed=${speed}` : ""}`;
  return link.href;
}

// What a link asks for: {keys, speed}, either null when it says nothing.
export function fromLink() {
  const asked = new URLSearchParams(window.location.hash.slice(1));
  const speed = Number(asked.get("speed"));
  return {keys: asked.get("keys"), speed: Number.isInteger(speed) && speed > 0 ? speed : null};
}

// Offers the session's script as a file; the final q ends mwc and
// mwc-replay where the session stands.
export function download() {
  const keys = recorded();
  const file = new Blob([keys.endsWith(oven.quit) ? keys : keys + oven.quit],
                        {type: "application/octet-stream"});
  const link = document.createElement("a");
  link.href = URL.createObjectURL(file);
  link.download = "oven.keys";
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}
