// Bitmap resources registered by units and loaded by name.
#include "FormReader.h"
#include "Graphics.h"

#include <gtest/gtest.h>

namespace {

QImage DrawCross() {
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(1, 1, qRgb(0, 0, 0));
    return image;
}

KV_BITMAP_RESOURCE(TESTCROSS, DrawCross)

TEST(BitmapResource, LoadsByNameInAnyCaseAndRefusesUnknownNames) {
    TBitmap b;
    b.LoadFromResourceName("TestCross");
    EXPECT_EQ(b.GetWidth(), 3);
    EXPECT_EQ(b.GetImage().pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_THROW(b.LoadFromResourceName("NOSUCHBITMAP"), EResNotFound);
    EXPECT_EQ(b.GetWidth(), 3); // what it held stays
}

} // namespace
