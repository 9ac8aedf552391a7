#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QRegularExpression>

namespace {

// A QML warning is a fault even when nothing crashes: a module that is not installed, a
// ReferenceError or TypeError in a binding, a binding loop. Each one fails the running test.
void failOnQmlWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    static const QRegularExpression qmlFault(
        R"(is not installed|ReferenceError|TypeError|Binding loop|QQmlComponent)");
    QByteArray line = message.toLocal8Bit();
    std::fprintf(stderr, "%s\n", line.constData());
    if (type != QtDebugMsg && type != QtInfoMsg && qmlFault.match(message).hasMatch())
        ADD_FAILURE() << "QML warning: " << line.constData();
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    qputenv("QT_MEDIA_BACKEND", "ffmpeg");  // as the program chooses
    qInstallMessageHandler(failOnQmlWarnings);
    QGuiApplication application(argc, argv);
    QGuiApplication::setOrganizationName("SkiffTests");
    QGuiApplication::setApplicationName("SkiffTests");
    return RUN_ALL_TESTS();
}
