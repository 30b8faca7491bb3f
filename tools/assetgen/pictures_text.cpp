// The text pictures the "text" effect steps through: the two intro lines,
// the credits and the greetings, which close the show. All are full-screen and drawn additively
// over the other effects, so their background stays black.
#include "timeline/screen_size.h"
#include "tools/assetgen/lettering.h"
#include "tools/assetgen/pictures.h"

namespace korvanthe::assetgen {

namespace {

constexpr float CentreX = ScreenPixelsWide / 2;

Canvas screenCanvas(int slot) {
    return Canvas(PictureLayouts[slot].width, PictureLayouts[slot].height, ScreenPixelsWide,
                  ScreenPixelsHigh);
}

// A thin line of light under a heading.
void underline(Canvas& canvas, float y, float halfLength) {
    addFlare(canvas, CentreX, y, halfLength, 1.6f, {0.5f, 0.7f, 1.0f});
    addFlare(canvas, CentreX, y, halfLength * 0.6f, 5.0f, {0.15f, 0.2f, 0.5f});
}

} // namespace

Canvas drawIntroPicture() {
    Canvas canvas = screenCanvas(1);
    addGlowSpot(canvas, CentreX, 200, 230, {0.04f, 0.05f, 0.16f});
    TextLayout big = fitted("NO BITMAPS", {60.0f, 0.32f, 0.12f}, 560);
    drawLine(canvas, "NO SAMPLES", CentreX, 95, big, Look::Headline);
    drawLine(canvas, "NO BITMAPS", CentreX, 195, big, Look::Accent);
    underline(canvas, 300, 260);
    TextLayout small =
        fitted("EVERYTHING YOU HEAR AND SEE IS GENERATED", {18.0f, 0.45f, 0.0f}, 580);
    drawLine(canvas, "EVERYTHING YOU HEAR AND SEE IS GENERATED", CentreX, 330, small, Look::Body);
    return canvas;
}

Canvas drawCodePicture() {
    Canvas canvas = screenCanvas(2);
    addGlowSpot(canvas, CentreX, 220, 260, {0.03f, 0.07f, 0.15f});
    TextLayout big = fitted("JUST CODE", {90.0f, 0.3f, 0.12f}, 590);
    drawLine(canvas, "JUST CODE", CentreX, 150, big, Look::Headline);
    underline(canvas, 150 + big.capHeight + 40, 280);
    TextLayout small = fitted("AND A LITTLE ARITHMETIC", {22.0f, 0.6f, 0.0f}, 560);
    drawLine(canvas, "AND A LITTLE ARITHMETIC", CentreX, 150 + big.capHeight + 70, small,
             Look::Accent);
    addStars(canvas, 140, 0x51A7u, 0.5f);
    return canvas;
}

Canvas drawCreditsPicture() {
    Canvas canvas = screenCanvas(3);
    addGlowSpot(canvas, CentreX, 40, 200, {0.08f, 0.03f, 0.12f});
    TextLayout heading = fitted("CREDITS", {44.0f, 0.5f, 0.12f}, 560);
    drawLine(canvas, "CREDITS", CentreX, 28, heading, Look::Headline);
    underline(canvas, 96, 220);

    struct Credit {
        const char* role;
        const char* line;
    };
    constexpr Credit Credits[] = {
        {"CODE", "C++20, OPENGL AND A MIXER OF ITS OWN"},
        {"MUSIC", "TWELVE CHANNELS OF SYNTHESISED XM"},
        {"PIXELS", "STROKES, GRADIENTS AND GLOW"},
        {"TIMING", "KEYED TO EVERY ORDER AND ROW"},
    };
    float top = 122;
    for (const Credit& credit : Credits) {
        drawLine(canvas, credit.role, CentreX, top, {22.0f, 0.6f, 0.1f}, Look::Accent);
        TextLayout body = fitted(credit.line, {15.0f, 0.45f, 0.0f}, 580);
        drawLine(canvas, credit.line, CentreX, top + 34, body, Look::Body);
        top += 88;
    }
    return canvas;
}

Canvas drawGreetingsPicture() {
    Canvas canvas = screenCanvas(6);
    addGlowSpot(canvas, CentreX, 70, 220, {0.06f, 0.03f, 0.14f});
    TextLayout heading = fitted("GREETINGS", {52.0f, 0.4f, 0.12f}, 560);
    drawLine(canvas, "GREETINGS", CentreX, 40, heading, Look::Accent);
    underline(canvas, 40 + heading.capHeight + 22, 240);

    constexpr const char* Lines[] = {
        "TO EVERY TRACKER MUSICIAN",
        "TO ALL WHO WRITE THEIR OWN PLAYER",
        "TO THE PIXEL PUSHERS EVERYWHERE",
        "AND TO YOU, FOR WATCHING",
    };
    float top = 160;
    for (const char* line : Lines) {
        TextLayout body = fitted(line, {20.0f, 0.45f, 0.0f}, 590);
        drawLine(canvas, line, CentreX, top, body, Look::Body);
        top += 58;
    }
    // The picture the show closes on: the demo's name signs it off.
    underline(canvas, top + 18, 150);
    TextLayout signature = fitted("KORVANTHE", {30.0f, 0.5f, 0.2f}, 400);
    drawLine(canvas, "KORVANTHE", CentreX, top + 40, signature, Look::Headline);
    addStars(canvas, 120, 0x6E37u, 0.45f);
    return canvas;
}

} // namespace korvanthe::assetgen
