#include "deck/PositionLabel.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// The first and last columns of the label's picture that hold any of its black text.
std::pair<int, int> inkColumns(PositionLabel& label) {
    const QImage image = label.grab().toImage();
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (qGray(image.pixel(x, y)) < 100) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

} // namespace

TEST(PositionLabelTest, DrawsItsTextCentredAndFollowsChanges) {
    PositionLabel label(QStringLiteral("00:36,309"));
    label.resize(176, 36);
    label.setStyleSheet(QStringLiteral("background: white; color: black"));
    for (const char* text : {"00:36,309", "1"}) {
        label.setText(QString::fromLatin1(text));
        const auto [first, last] = inkColumns(label);
        ASSERT_GE(first, 0) << text << " is drawn";
        EXPECT_NEAR(first, label.width() - 1 - last, 3) << text << " is centred";
        EXPECT_EQ(last - first < 20, text[1] == '\0') << "a new text replaces the old";
    }
}
