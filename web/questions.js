// Questions to mwc-check, answered in a worker (checker.js) while the oven
// ticks on: the forms of question as the checker names them, its answer in
// its own words, and its first evidence, to play from start-up with the
// ticks that matter marked on the timeline.
import {oven} from "./tick.js";

let checker = null;
let forms = [];
let waiting = null;            // the answer's handler
let evidence = null;           // the last answer's first evidence: {keys, marked}
let elements = null;
let playing = null;            // plays keys from start-up, then marks ticks

// Starts the worker and fills the form chooser; `play(keys, marked)` plays
// an evidence. Resolves once the forms are there.
export function startChecker(page, play) {
  elements = page;
  playing = play;
  checker = new Worker("checker.js", {type: "module"});
  checker.onmessage = ({data}) => {
    const handle = waiting;
    waiting = null;
    handle?.(data);
  };
  return new Promise((resolve) => {
    waiting = (data) => {
      forms = data.facts?.forms ?? [];
      for (const {name} of forms) {
        elements.questionForm.append(new Option(name, name));
      }
      showExamples();
      if (data.facts === undefined) {
        elements.answer.textContent = data.errors;
      }
      resolve();
    };
    checker.postMessage({facts: true});
  });
}

// The form that asks for a line where a condition holds: not over time,
// decided on every line, and not about every script.
function reachForm() {
  return forms.findIndex((form) => form.property && !form.universal && !form.over_time);
}

// A question of three forms, in the checker's words: a state reached (the
// last, where cooking ends), a condition on every line, and a leads-to.
function showExamples() {
  const always = forms.find((form) => form.property && form.universal && !form.over_time);
  const leadsTo = forms.find((form) => form.argument.includes("-->"));
  const examples = [[forms[reachForm()], `state = ${oven.states[oven.states.length - 1].name}`],
                    [always, "start implies not door"], [leadsTo, "start --> not start"]];
  elements.examples.replaceChildren();
  for (const [form, question] of examples.filter(([form]) => form !== undefined)) {
    elements.examples.append(elements.examples.childNodes.length === 0 ? "" : ", ", `${form.name} `,
                             Object.assign(document.createElement("code"), {textContent: question}));
  }
}

function send(form, question, then) {
  elements.ask.disabled = true;
  elements.asking.hidden = false;
  elements.answer.textContent = "";
  elements.playEvidence.hidden = true;
  waiting = (data) => {
    elements.asking.hidden = true;
    elements.ask.disabled = false;
    answered(data);
    then?.();
  };
  checker.postMessage({form, question});
}

export function ask(event) {
  event.preventDefault();
  send(elements.questionForm.selectedIndex, elements.question.value);
}

// The first evidence's ticks that an answer points at: the P line of a
// leads-to, the line where it ends (Q, the line reached, the line that
// fails), or the loop of a never-ending script, each time round.
function marksOf(first, form) {
  const loop = first.loop ?? "";
  const keys = first.script + loop.repeat(oven.script.loop_rounds);
  const marked = new Map();
  if (first.at !== null && first.at !== undefined) {
    marked.set(first.at, "the P line");
  }
  if (loop === "" && first.script.length > 0) {
    const end = first.at !== null && first.at !== undefined ? "Q holds"
        : form.universal ? "the line that fails" : "the line met";
    marked.set(first.script.length, marked.has(first.script.length) ? "P and Q hold" : end);
  }
  for (let tick = first.script.length + 1; loop !== "" && tick <= keys.length; tick++) {
    marked.set(tick, "the loop, round and round");
  }
  return {keys, marked};
}

// mwc-check's words, or what it said of a bad question or of its limit.
function answered({answer, json, errors}) {
  elements.answer.textContent = answer !== "" ? answer : errors;
  const parsed = json === "" ? undefined : JSON.parse(json);
  const first = parsed?.evidence?.[0];
  const form = forms.find(({name}) => name === parsed?.query);
  evidence = first === undefined || form === undefined ? null : marksOf(first, form);
  elements.playEvidence.hidden = evidence === null;
}

export function playEvidence() {
  if (evidence !== null) {
    playing(evidence.keys, evidence.marked);
  }
}

// Asks for the shortest script to state `name`, and plays it.
export function showHow(name) {
  const form = reachForm();
  elements.questionForm.selectedIndex = form;
  elements.question.value = `state = ${name}`;
  send(form, elements.question.value, playEvidence);
}
