#include "deck/PositionLabel.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// Columns of the picture that hold any pixel of the text's colour.
std::pair<int, int> inkColumns(const QImage& image) {
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
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(palette);
    label.setAutoFillBackground(true);
    QFont font = label.font();
    font.setPointSize(18);
    font.setBold(true);
    label.setFont(font);

    const auto [first, last] = inkColumns(label.grab().toImage());
    ASSERT_GE(first, 0) << "the text is drawn";
    EXPECT_NEAR(first, label.width() - 1 - last, 3) << "and centred";
    EXPECT_GT(last - first, 80);

    label.setText(QStringLiteral("1"));
    const auto [one, oneEnd] = inkColumns(label.grab().toImage());
    EXPECT_LT(oneEnd - one, 20) << "a new text replaces the old";
    EXPECT_NEAR(one, label.width() - 1 - oneEnd, 3);
}
