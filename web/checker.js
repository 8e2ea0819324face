// The page's mwc-check: the checker built to WebAssembly (checker.wasm), in
// a worker of its own, so that the page keeps ticking while it explores
// every key script. A question comes as {form, question}; the answer goes
// back as {status, answer, json, errors}: mwc-check's exit status, its
// words, its JSON line, and what it said on standard error.
"use strict";

importScripts("wasi.js");

const FRAMES_OUT = 1; // the ticks' own lines: dropped
const STDERR = 2;
const ANSWER_OUT = 3;
const JSON_OUT = 4;
const TEXT_SIZE = 1 << 16; // the module's question buffer

let checker = null;
let memory = null;
const written = {[FRAMES_OUT]: null, [STDERR]: [], [ANSWER_OUT]: [], [JSON_OUT]: []};
const encoder = new TextEncoder();

function take(fd) {
  return takeText(written, fd);
}

async function load() {
  const response = await fetch("checker.wasm");
  if (!response.ok) {
    throw new Error(`checker.wasm: ${response.status} ${response.statusText}`);
  }
  const {instance} = await WebAssembly.instantiateStreaming(
      response, wasiImports(() => memory, written));
  memory = instance.exports.memory;
  instance.exports._initialize();
  return instance.exports;
}

// Writes `text` and its NUL into the module's buffer at `at`; false when it
// does not fit.
function put(at, text, size) {
  const bytes = encoder.encode(`${text}\0`);
  if (bytes.length > size) {
    return false;
  }
  new Uint8Array(memory.buffer, at, bytes.length).set(bytes);
  return true;
}

self.onmessage = async ({data}) => {
  try {
    checker ??= await load();
    if (data.forms) {
      checker.mwc_check_forms();
      self.postMessage({forms: JSON.parse(take(ANSWER_OUT))});
      return;
    }
    // The module reads a C string: a NUL would cut the question there, and
    // the rest would be answered as something else.
    if (data.question.includes("\0")) {
      self.postMessage({status: 2, answer: "", json: "",
                        errors: "The question holds a NUL character, which no condition has."});
      return;
    }
    if (!put(checker.mwc_check_question(), data.question, TEXT_SIZE)) {
      self.postMessage({status: 2, answer: "", json: "",
                        errors: `The question is longer than ${TEXT_SIZE - 1} bytes.`});
      return;
    }
    put(checker.mwc_check_keys(), "", 1);
    const status = checker.mwc_check_ask(data.form);
    self.postMessage({status, answer: take(ANSWER_OUT), json: take(JSON_OUT),
                      errors: take(STDERR)});
  } catch (error) {
    self.postMessage({status: -1, answer: "", json: "", errors: error.message});
  }
};
