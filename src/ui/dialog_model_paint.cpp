// The dialog's controls painted through the painter: tracks and knobs, the
// pickers' handles, wells, boxes, dots and labels, greyed when disabled.
#include <cmath>

#include "ui/dialog_model.h"

namespace lumenfall {
namespace {

constexpr Rgb8 kBlack{0, 0, 0};
constexpr Rgb8 kWhite{255, 255, 255};
constexpr Rgb8 kDisabledGrey{140, 140, 140};
constexpr Rgb8 kFlatTrack{222, 222, 222};
constexpr Rgb8 kBareTrack{222, 222, 255};
constexpr Rgb8 kYellow{255, 255, 0};
constexpr Rgb8 kMagenta{255, 0, 255};

PaintRect paintRect(const ControlRect& r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }

// A picker's handle coordinate from a vector a script may have set to
// anything: truncated, NaN at the centre, far values held off the screen.
int handleCoordinate(int centre, float component) {
    const double c = double(centre) + 33.0 * double(component);
    if (std::isnan(c)) return centre;
    if (c > 30000) return 30000;
    if (c < -30000) return -30000;
    return int(float(c));
}

}  // namespace

void MainDialogModel::paintAll(Painter& painter) const {
    for (int id = 0; id < kControlCount; ++id) paintControl(id, painter);
}

void MainDialogModel::paintControl(int id, Painter& painter, bool focused) const {
    const ControlInfo& info = controlInfo(id);
    const ControlRect& r = info.rect;
    const PaintRect area = paintRect(r);
    switch (info.kind) {
        case ControlKind::Slider: {
            painter.restoreBackground(area);
            const Artwork track = info.track == 2 ? Artwork::TrackSecond : Artwork::TrackFirst;
            const PaintRect flat{r.left, r.top, r.left + r.width - 2, r.top + 11};
            if (enabled_[id] && painter.hasArtwork(track)) {
                painter.drawArtwork(track, r.left, r.top);
            } else if (!enabled_[id]) {
                painter.fill(flat, kFlatTrack);
                painter.frame(flat, kDisabledGrey);
            } else {
                painter.fill(flat, kBareTrack);
                painter.line(flat.left, flat.top, flat.right - 1, flat.top, kBlack);
                painter.line(flat.left, flat.top, flat.left, flat.bottom - 1, kBlack);
                painter.line(flat.left + 1, flat.top + 1, flat.right - 2, flat.top + 1, kDisabledGrey);
                painter.line(flat.left + 1, flat.top + 1, flat.left + 1, flat.bottom - 2, kDisabledGrey);
                painter.line(flat.left + 1, flat.bottom - 1, flat.right - 1, flat.bottom - 1, kWhite);
                painter.line(flat.right - 1, flat.top + 1, flat.right - 1, flat.bottom - 1, kWhite);
            }
            if (enabled_[id] && painter.hasArtwork(Artwork::Knob))
                painter.drawArtwork(Artwork::Knob, sliderKnobLeft(r, values_[id]), r.top + 1);
            // The keyboard's slider: a dotted frame round its track.
            if (focused) painter.focusRect(area);
            break;
        }
        case ControlKind::Label: {
            painter.restoreBackground(area);
            // Moved up 2, then one 14-pixel line centred in it.
            const int top = r.top - 2 + (r.height - 14) / 2;
            const PaintRect line{r.left, top, r.left + r.width, top + 14};
            const TextAlign align = id == 49 || id == 53 ? TextAlign::Left : TextAlign::Right;
            // A label wider than its cell runs out of it, away from its slider.
            painter.text(line, labelString(info.stringNumber), align, enabled_[id] ? kBlack : kDisabledGrey, false);
            break;
        }
        case ControlKind::StatusLine: {
            painter.restoreBackground(area);
            const PaintRect clip{area.left + 1, area.top, area.right, area.bottom};
            painter.text(clip, statusText().c_str(), TextAlign::Centre, kBlack, true);
            break;
        }
        case ControlKind::MemoryDot:
            paintDot(id, painter);
            if (focused) painter.focusRect(area);
            break;
        case ControlKind::CentreDot:
            paintCentreDot(painter);
            if (focused) painter.focusRect(area);
            break;
        case ControlKind::ColourButton: {
            painter.buttonFace(area, enabled_[id]);
            const int inset = focused ? 3 : 2;
            const PaintRect swatch{area.left + inset, area.top + inset, area.right - inset + 1, area.bottom - inset + 1};
            painter.fill(swatch, Rgb8{uint8_t(colours_[id][0] >> 8), uint8_t(colours_[id][1] >> 8),
                                      uint8_t(colours_[id][2] >> 8)});
            if (focused)
                painter.focusRect({swatch.left + 4, swatch.top + 4, swatch.right - 4, swatch.bottom - 4});
            break;
        }
        case ControlKind::Picker: {
            painter.restoreBackground(area);
            painter.drawArtwork(enabled_[id] ? Artwork::WellEnabled : Artwork::WellDisabled, r.left, r.top);
            if (enabled_[id]) {
                const float* v = vectors_[id];
                const int x1 = handleCoordinate(r.left + 42, v[0]);
                const int y1 = handleCoordinate(r.top + 41, v[1]);
                painter.line(r.left + 41, r.top + 40, x1, y1, v[2] >= 0 ? kYellow : kMagenta);
            }
            if (focused) painter.focusRect(area);
            break;
        }
        default:
            break;
    }
}

}  // namespace lumenfall
