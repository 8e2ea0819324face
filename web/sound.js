// The buzzer's sound: the oven's tones, at its pitch and length. Browsers
// start sound only after a click or a key press; until then the buzzer is
// silent, and nothing fails for it.
import {oven} from "./tick.js";

const MS_PER_S = 1000;
const FADE_S = 0.005;          // the tone starts and ends without a click
const LEVEL = 0.2;
const COUNTS = ["no", "one", "two", "three", "four", "five"];
let audio = null;

// How long the buzzer holds the tick.
export function buzzerMs() {
  const {tones, tone_ms: toneMs, pause_ms: pauseMs} = oven.buzzer;
  return tones * toneMs + (tones - 1) * pauseMs;
}

export function buzzerWords() {
  return `${COUNTS[oven.buzzer.tones] ?? oven.buzzer.tones} tones of ${oven.buzzer.hz} Hz`;
}

// Makes the page's audio, suspended, as the page starts: the first one a
// browser makes can take a third of a second, which at a first click would
// hold that click's answer and the ticks behind it.
export function prepareAudio() {
  const Context = window.AudioContext || window.webkitAudioContext;
  if (audio === null && Context !== undefined) {
    try {
      audio = new Context();
    } catch (error) {
      audio = null;
    }
  }
}

// Starts sound at a click or a key press; `shown(on)` says whether it is on.
export function wakeAudio(shown) {
  prepareAudio();
  if (audio !== null && audio.state === "suspended") {
    audio.resume().then(() => shown(audio.state === "running"), () => {});
  }
  shown(audio !== null && audio.state === "running");
}

// The buzzer's tones, when sound is on.
export function sound() {
  if (audio === null || audio.state !== "running") {
    return;
  }
  const start = audio.currentTime;
  const {tones, hz, tone_ms: toneMs, pause_ms: pauseMs} = oven.buzzer;
  const length = toneMs / MS_PER_S;
  for (let i = 0; i < tones; i++) {
    const at = start + (i * (toneMs + pauseMs)) / MS_PER_S;
    const tone = audio.createOscillator();
    const level = audio.createGain();
    tone.frequency.value = hz;
    level.gain.setValueAtTime(0, at);
    level.gain.linearRampToValueAtTime(LEVEL, at + FADE_S);
    level.gain.setValueAtTime(LEVEL, at + length - FADE_S);
    level.gain.linearRampToValueAtTime(0, at + length);
    tone.connect(level).connect(audio.destination);
    tone.start(at);
    tone.stop(at + length);
  }
}
