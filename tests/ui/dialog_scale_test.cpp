#include <gtest/gtest.h>

#include "ui/dialog_scale.h"

namespace lumenfall {
namespace {

bool overlap(const ControlRect& a, const ControlRect& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

TEST(DialogScale, RoundsEdgesAndComesBack) {
    const DialogScale s144{144};
    EXPECT_EQ(170, s144.px(113));  // 169.5
    EXPECT_EQ(-1, s144.px(-1));    // -1.5 rounds up like every half: the preview's top above the client
    const ControlRect slider = s144.rect(controlInfo(37).rect);
    EXPECT_EQ(170, slider.left);
    EXPECT_EQ(29, slider.top);
    EXPECT_EQ(202, slider.width);  // 372 - 170
    EXPECT_EQ(18, slider.height);  // 47 - 29
    EXPECT_EQ(1436, s144.px(kDialogClientWidth));
    for (int dpi : {96, 120, 144, 168, 192, 288}) {
        const DialogScale s{dpi};
        for (int v = -20; v <= 1000; ++v) ASSERT_EQ(v, s.logical(s.px(v))) << dpi << " " << v;
    }
    const DialogScale same{96};
    EXPECT_TRUE(same.unscaled());
    EXPECT_EQ(957, same.px(957));
}

TEST(DialogScale, NeighboursStayApartOrTouching) {
    for (int dpi : {120, 144, 192}) {
        const DialogScale s{dpi};
        for (int a = 0; a < kControlCount; ++a) {
            if (controlInfo(a).kind == ControlKind::None) continue;
            const ControlRect ra = windowRect(a);
            for (int b = a + 1; b < kControlCount; ++b) {
                if (controlInfo(b).kind == ControlKind::None) continue;
                const ControlRect rb = windowRect(b);
                EXPECT_EQ(overlap(ra, rb), overlap(s.rect(ra), s.rect(rb))) << dpi << ": " << a << " " << b;
                // Touching edges stay touching.
                if (ra.left + ra.width == rb.left) {
                    EXPECT_EQ(s.rect(ra).left + s.rect(ra).width, s.rect(rb).left) << dpi << ": " << a << " " << b;
                }
            }
        }
    }
}

}  // namespace
}  // namespace lumenfall
