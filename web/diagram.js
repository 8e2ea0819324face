// The controller's diagram, as mwc-check finds and Graphviz draws it: the
// controller's state lit, and the transition just taken, found through maps
// made once, when the diagram loads. Each edge carries its states and inputs
// in its classes (from-X to-Y on-K); a loop goes out to a point and back.
import {oven, stateName} from "./tick.js";

const MARGIN_PX = 16;
let box = null;
const nodes = new Map();       // state name -> its <g>
const edges = new Map();       // "from to input" -> {edge, out, label}
let lit = {node: null, edge: null};

function classValues(element, prefix) {
  return [...element.classList].filter((name) => name.startsWith(prefix))
      .map((name) => name.slice(prefix.length));
}

function edgeKey(from, to, input) {
  return `${from} ${to} ${input}`;
}

// The words of an edge's label: its inputs, and its guard if it has one.
function labelOf(edge) {
  return [...edge.querySelectorAll("text")].map((text) => text.textContent).join(" ");
}

// Reads the diagram's SVG text into `element`; `onChoose(name, meaning)` is
// called when a state is chosen, by a click, a tap, Enter or Space.
export function mount(element, svg, onChoose) {
  box = element;
  box.innerHTML = svg;
  const outs = new Map();      // a loop's point -> the edge out to it
  for (const edge of box.querySelectorAll("g.edge.loop-out")) {
    const [, point] = edge.querySelector("title").textContent.split("->");
    outs.set(point, edge);
    edge.setAttribute("aria-hidden", "true");
  }
  for (const edge of box.querySelectorAll("g.edge")) {
    const [from] = classValues(edge, "from-");
    const [to] = classValues(edge, "to-");
    if (from === undefined || to === undefined) {
      continue;
    }
    const title = edge.querySelector("title");
    const out = outs.get(title.textContent.split("->")[0]) ?? null;
    const label = labelOf(edge);
    // Said as a transition, not as Graphviz's names of its points.
    title.textContent = `${from} to ${to}${label === "" ? "" : `, on ${label}`}`;
    for (const input of classValues(edge, "on-")) {
      edges.set(edgeKey(from, to, input), {edge, out, label});
    }
  }
  for (const node of box.querySelectorAll("g.node")) {
    const name = node.querySelector("title").textContent;
    const meaning = node.querySelector("a")?.getAttribute("xlink:title") ?? null;
    if (meaning === null) {
      continue;
    }
    nodes.set(name, node);
    node.setAttribute("tabindex", "0");
    node.setAttribute("role", "button");
    node.setAttribute("aria-label", meaning);
    const choose = (event) => {
      event.preventDefault();
      onChoose(name, meaning);
    };
    node.addEventListener("click", choose);
    node.addEventListener("keydown", (event) => {
      if (event.key === "Enter" || event.key === " ") {
        choose(event);
      }
    });
  }
}

// The input a key is on the diagram's edges.
function inputOf(key) {
  return key === null ? "none" : key;
}

// The label of the transition from state `from` to `to` (numbers) on `key`.
export function transitionLabel(from, to, key) {
  return edges.get(edgeKey(stateName(from), stateName(to), inputOf(key)))?.label ?? "";
}

// Lights state `name` and the transition from `from` to `to` on `key`
// (null for none lit), and brings both into the box's view.
export function light(name, from, to, key) {
  const node = nodes.get(name) ?? null;
  const found = from === null ? null : edges.get(edgeKey(stateName(from), stateName(to), inputOf(key)));
  const edge = found ?? null;
  if (node === lit.node && edge === lit.edge) {
    return;
  }
  lit.node?.classList.remove("active");
  lit.node?.removeAttribute("aria-current");
  lit.edge?.edge.classList.remove("taken");
  lit.edge?.out?.classList.remove("taken-loop");
  node?.classList.add("active");
  node?.setAttribute("aria-current", "true");
  edge?.edge.classList.add("taken");
  edge?.out?.classList.add("taken-loop");
  lit = {node, edge};
  const said = edge === null ? "" : `, by ${edge.label}`;
  box.setAttribute("aria-label",
                   `The controller's states and transitions; now ${name}${said}`);
  bringIntoView([node, edge?.edge, edge?.out]);
}

// Scrolls the box, never the page, so that all of `parts` are in it when
// they fit, and their start when they do not.
function bringIntoView(parts) {
  const rects = parts.filter((part) => part !== null && part !== undefined)
      .map((part) => part.getBoundingClientRect());
  if (rects.length === 0) {
    return;
  }
  const want = {left: Math.min(...rects.map((r) => r.left)), top: Math.min(...rects.map((r) => r.top)),
                right: Math.max(...rects.map((r) => r.right)),
                bottom: Math.max(...rects.map((r) => r.bottom))};
  const view = box.getBoundingClientRect();
  const shift = (low, high, viewLow, viewHigh) => {
    if (low >= viewLow && high <= viewHigh) {
      return 0;
    }
    return high - low + 2 * MARGIN_PX > viewHigh - viewLow || low < viewLow
        ? low - viewLow - MARGIN_PX : high - viewHigh + MARGIN_PX;
  };
  box.scrollLeft += shift(want.left, want.right, view.left, view.left + box.clientWidth);
  box.scrollTop += shift(want.top, want.bottom, view.top, view.top + box.clientHeight);
}

// Lights nothing: start-up, before the first tick, in the start state.
export function lightStart() {
  light(stateName(oven.start_state), null, null, null);
}
