// The oven's own tick, in WebAssembly (oven.wasm) exactly as in mwc, and
// its facts: what the page says of the oven (states, keys, limits, food
// modes, buzzer, colours, the script's form) comes from the module, so that
// a change to the oven changes the page.
//
// The tick prints its frame on standard output and its trace line on the
// descriptor the facts name; the stand-in for WASI's file calls catches both.
import {STDERR, STDOUT, takeText, wasiImports} from "./wasi.js";

// The facts, once loadOven has read them.
export let oven = null;

let compiled = null;          // oven.wasm, compiled once; each start-up is a new instance
let memory = null;
let calls = null;             // the instance's exports
const written = {[STDOUT]: [], [STDERR]: null};
const wasi = wasiImports(() => memory, written);

async function instantiate() {
  const instance = await WebAssembly.instantiate(compiled, wasi);
  memory = instance.exports.memory;
  instance.exports._initialize();
  calls = instance.exports;
}

// Compiles oven.wasm and reads its facts; an Error that says what failed.
export async function loadOven() {
  const response = await fetch("oven.wasm");
  if (!response.ok) {
    throw new Error(`oven.wasm: ${response.status} ${response.statusText}`);
  }
  compiled = await WebAssembly.compileStreaming(response);
  await instantiate();
  if (calls.mwc_facts() !== 1) {
    throw new Error("the oven's facts could not be read");
  }
  oven = JSON.parse(takeText(written, STDOUT));
  written[oven.trace_fd] = [];
  oven.stateByNumber = new Map(oven.states.map((state) => [state.number, state]));
  oven.panelKeys = new Set(oven.keys.map(({key}) => key));
  return oven;
}

// The panel's three lines as text, and whether the back light drew them.
function panelOf(frame) {
  const lit = frame.startsWith(oven.lit);
  const lines = frame.split("\n", 3).join("\n");
  return {panel: lines.split(oven.lit).join("").split(oven.unlit).join(""), lit};
}

// A fresh oven, as at start-up: what its panel shows before the first
// tick, and its state's number.
export async function startUp() {
  await instantiate();
  written[STDOUT].splice(0);
  written[oven.trace_fd].splice(0);
  const state = calls.mwc_show();
  return {...panelOf(takeText(written, STDOUT)), state};
}

// One tick with `key` (a one-character string, or null for no key): the
// panel it drew, the trace line as mwc-replay --trace writes it, and that
// line read.
export function runTick(key) {
  calls.mwc_tick(key === null ? oven.no_key : key.charCodeAt(0));
  const line = takeText(written, oven.trace_fd).trim();
  return {...panelOf(takeText(written, STDOUT)), line, trace: JSON.parse(line)};
}

// The name of state `number`, as the oven names it.
export function stateName(number) {
  return oven.stateByNumber.get(number)?.name ?? "";
}

export function stateMeaning(number) {
  return oven.stateByNumber.get(number)?.meaning ?? "";
}
