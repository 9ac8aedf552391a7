#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>

namespace skiff::ui {

// The sheets' texts and symbols that depend on the model's values.
class SheetTexts : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

  public:
    using QObject::QObject;

    // The symbol of an approval request: a phone for labels naming a phone or tablet.
    Q_INVOKABLE static QString requestSymbol(const QString& label);
    // The first three dot-separated parts of an address (fewer when it has fewer).
    Q_INVOKABLE static QString networkPrefix(const QString& ip);
    // The first help row: on which network the phone has to be, with the range when known.
    Q_INVOKABLE static QString otherNetworkBody(const QString& ip);
    // The last help row: what to type on the phone by hand.
    Q_INVOKABLE static QString typeByHandBody(const QString& ip, int port, const QString& pin);
    // The firewall row's title, naming the firewall that is on when there is one.
    Q_INVOKABLE static QString firewallTitle(const QString& name);
    // The firewall row while it is on: to open the port, with the command under it when known.
    Q_INVOKABLE static QString firewallOnBody(int port, bool withCommand);
    // The kept port was taken at this start, so a rule made for it no longer lets phones in.
    Q_INVOKABLE static QString portMovedNote(int from, int to);
};

}  // namespace skiff::ui
