#include <gtest/gtest.h>

#include <QGuiApplication>

// Window tests share one application object; each test makes its own model and engine.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    qputenv("QT_MEDIA_BACKEND", "ffmpeg");  // as the program chooses
    QGuiApplication application(argc, argv);
    QGuiApplication::setOrganizationName("SkiffTests");
    QGuiApplication::setApplicationName("SkiffTests");
    return RUN_ALL_TESTS();
}
