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
    QString body = "Điện thoại đang dùng 4G/5G hoặc Wi-Fi khác. Bật Wi-Fi và vào đúng mạng của Mac";
    if (!ip.isEmpty()) body += " (dải " + networkPrefix(ip) + ".x)";
    return body + ".";
}

QString SheetTexts::typeByHandBody(const QString& ip, int port, const QString& pin) {
    return "Mở Safari/Chrome trên điện thoại, gõ đúng " + ip + ":" + QString::number(port) +
           " (có cả dấu hai chấm và số cổng), rồi nhập mã " + pin + ".";
}

}  // namespace skiff::ui
