// The page's mwc-check: the checker built to WebAssembly (checker.wasm), in
// a worker of its own, so that the page keeps ticking while it explores
// every key script. {facts: true} asks what the module says of itself: its
// forms of question, buffers, descriptors and limit. A question comes as
// {form, question, max}; the answer goes back as {status, answer, json,
// errors}: mwc-check's exit status, its words, its JSON line, and what it
// said on standard error.
import {STDERR, STDOUT, takeText, wasiImports} from "./wasi.js";

let checker = null;
let loading = null;            // the module's load, begun at the first message
let facts = null;
let memory = null;
const written = {[STDOUT]: [], [STDERR]: []};
const encoder = new TextEncoder();

async function load() {
  const response = await fetch("checker.wasm");
  if (!response.ok) {
    throw new Error(`checker.wasm: ${response.status} ${response.statusText}`);
  }
  const {instance} = await WebAssembly.instantiateStreaming(
      response, wasiImports(() => memory, written));
  memory = instance.exports.memory;
  instance.exports._initialize();
  checker = instance.exports;
  if (checker.mwc_check_facts() !== 1) {
    throw new Error("the checker's facts could not be read");
  }
  facts = JSON.parse(takeText(written, STDOUT));
  // From here on, standard output carries only the ticks' own lines.
  written[STDOUT] = null;
  written[facts.answer_fd] = [];
  written[facts.json_fd] = [];
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

function refused(errors) {
  return {status: facts.bad_question, answer: "", json: "", errors};
}

function ask({form, question, max}) {
  // The module reads a C string: a NUL would cut the question there, and
  // the rest would be answered as something else.
  if (question.includes("\0")) {
    return refused("The question holds a NUL character, which no condition has.");
  }
  if (!put(checker.mwc_check_question(), question, facts.question_size)) {
    return refused(`The question is longer than ${facts.question_size - 1} bytes.`);
  }
  put(checker.mwc_check_keys(), "", facts.keys_size);
  const status = checker.mwc_check_ask(form, max ?? facts.max_configurations);
  return {status, answer: takeText(written, facts.answer_fd),
          json: takeText(written, facts.json_fd), errors: takeText(written, STDERR)};
}

self.onmessage = async ({data}) => {
  try {
    loading ??= load();
    await loading;
    self.postMessage(data.facts ? {facts} : ask(data));
  } catch (error) {
    self.postMessage({status: -1, answer: "", json: "", errors: error.message});
  }
};
