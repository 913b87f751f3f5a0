#pragma once

class QIcon;

// The glyph of an OK button, drawn here rather than loaded: a green tick on a transparent ground, 18 × 18 pixels
// (with a 36 × 36 picture for high-density screens), and a grey tick for the disabled state.
QIcon TickGlyph();
