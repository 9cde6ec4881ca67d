#include "inst/insttokens.h"

namespace Inst {
namespace {

QColor rgbF(float r, float g, float b, float a = 1.0f)
{
    return QColor::fromRgbF(r, g, b, a);
}

// Every text colour reads at 4.5:1 at least on the faces it is drawn on (3:1 for the LED's
// large figures); the muted text and, in light, the tones sit darker than their first draft
// by the least that gets them there.
Tokens column(bool dark)
{
    Tokens t;
    t.dark = dark;
    if (dark) {
        t.panel = rgbF(0.027f, 0.035f, 0.047f);
        t.deck = rgbF(0.043f, 0.052f, 0.066f);
        t.section = rgbF(0.035f, 0.044f, 0.057f);
        t.bezel = rgbF(0.13f, 0.15f, 0.18f);
        t.accent = rgbF(0.27f, 0.78f, 0.96f);
        t.pri = rgbF(0.8f, 0.82f, 0.85f);
        t.sec = rgbF(0.55f, 0.59f, 0.64f);
        t.mut = rgbF(0.438f, 0.482f, 0.536f);
        t.canvas = rgbF(0.012f, 0.018f, 0.027f);
        t.well = rgbF(0.02f, 0.028f, 0.04f);
        t.led = rgbF(0.22f, 0.88f, 0.48f);
        t.grid = rgbF(1, 1, 1, 0.09f);
        t.screen = rgbF(1, 1, 1, 0.92f);
        t.hairline = rgbF(1, 1, 1, 0.2f);
        t.red = rgbF(1, 0.271f, 0.227f);
        t.amber = rgbF(1, 0.624f, 0.039f);
    } else {
        t.panel = rgbF(0.955f, 0.957f, 0.962f);
        t.deck = rgbF(0.902f, 0.91f, 0.924f);
        t.section = rgbF(0.982f, 0.984f, 0.988f);
        t.bezel = rgbF(0.8f, 0.816f, 0.84f);
        t.accent = rgbF(0.044f, 0.413f, 0.571f);
        t.pri = rgbF(0.13f, 0.15f, 0.18f);
        t.sec = rgbF(0.34f, 0.37f, 0.42f);
        t.mut = rgbF(0.386f, 0.412f, 0.456f);
        t.canvas = rgbF(0.99f, 0.988f, 0.982f);
        t.well = rgbF(0.902f, 0.912f, 0.926f);
        t.led = rgbF(0.083f, 0.436f, 0.251f);
        t.grid = rgbF(0, 0, 0, 0.075f);
        t.screen = rgbF(0.15f, 0.17f, 0.2f);
        t.hairline = rgbF(0, 0, 0, 0.14f);
        t.red = rgbF(0.745f, 0.039f, 0);
        t.amber = rgbF(0.576f, 0.324f, 0);
    }
    return t;
}

// A function-local instance, so that a static initialiser elsewhere that asks for the
// tokens before ours has run still finds them built.
Tokens& instance()
{
    static Tokens t = column(true);
    return t;
}

[[maybe_unused]] const bool builtAtLoad = (instance(), true);

} // namespace

const Tokens* tokens()
{
    return &instance();
}

const Alarm& alarm()
{
    static const Alarm a{
        column(true).red,         QColor(0xff, 0x6a, 0x60), QColor(0xff, 0x5a, 0x52),
        QColor(0x1a, 0x03, 0x03), QColor(0xf3, 0xc9, 0xc6), QColor(0xff, 0xff, 0xff),
        QColor(0xf0, 0x8c, 0x86), QColor(0xf3, 0xa7, 0xa2), QColor(0x0b, 0x01, 0x01),
        QColor(0x2a, 0x06, 0x06), QColor(0x10, 0x02, 0x02), QColor(0x8a, 0x4c, 0x48)};
    return a;
}

bool setDark(bool dark)
{
    if (instance().dark == dark) return false;
    instance() = column(dark);
    return true;
}

} // namespace Inst
