#include "ui/sheets/sheet_texts.hpp"

#include <QStringList>

namespace skiff::ui {

QString SheetTexts::requestSymbol(const QString& label) {
    for (const char* name : {"iPhone", "Android", "iPad"})
        if (label.contains(QLatin1String(name))) return "iphone";
    return "laptopcomputer";
}

QString SheetTexts::networkPrefix(const QString& ip) {
    return ip.split('.').mid(0, 3).join('.');
}

QString SheetTexts::otherNetworkBody(const QString& ip) {
    QString body =
        "Điện thoại đang dùng 4G/5G hoặc Wi-Fi khác. Bật Wi-Fi và vào đúng mạng của máy tính";
    if (!ip.isEmpty()) body += " (dải " + networkPrefix(ip) + ".x)";
    return body + ".";
}

QString SheetTexts::typeByHandBody(const QString& ip, int port, const QString& pin) {
    return "Mở Safari/Chrome trên điện thoại, gõ đúng " + ip + ":" + QString::number(port) +
           " (có cả dấu hai chấm và số cổng), rồi nhập mã " + pin + ".";
}

QString SheetTexts::firewallTitle(const QString& name) {
    return name.isEmpty() ? "Tường lửa" : "Tường lửa (" + name + ")";
}

QString SheetTexts::firewallOnBody(int port, bool withCommand) {
    QString lead = "Tường lửa đang BẬT và có thể chặn điện thoại. ";
    if (withCommand)
        return lead + "Mở cổng " + QString::number(port) +
               " cho Skiff bằng lệnh này trong cửa sổ dòng lệnh:";
    return lead + "Hãy cho phép cổng " + QString::number(port) + "/tcp trong cài đặt tường lửa.";
}

QString SheetTexts::portMovedNote(int from, int to) {
    return "Cổng " + QString::number(from) +
           " của lần trước đang bận nên Skiff đã chuyển sang cổng " + QString::number(to) +
           ": quy tắc tường lửa đã tạo cho cổng " + QString::number(from) + " không còn tác dụng.";
}

}  // namespace skiff::ui
