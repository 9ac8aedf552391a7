#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace skiff::ui {

// Where installed programs are looked for: the program search path and the XDG data folders
// whose applications/ folders hold the desktop entries, most important first.
struct ToolSearch {
    QString path;
    QStringList dataDirs;

    static ToolSearch fromEnvironment();
};

// The command line that opens the first desktop firewall tool installed (gufw, firewall-config,
// the Plasma firewall page), found on the search path or through its desktop entry; nothing
// when none is. The program in the command is an absolute path.
std::optional<QStringList> findFirewallTool(const ToolSearch& search);

// The help popover's "Mở cài đặt": whether a firewall tool is there, and opening it.
class FirewallTool : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool available READ available CONSTANT)

  public:
    explicit FirewallTool(QObject* parent = nullptr);

    bool available() const { return m_command.has_value(); }
    // Starts the tool on its own. The button that calls this shows only when there is one.
    Q_INVOKABLE void open();
    // Puts the command that opens the port on the clipboard, for pasting into a terminal.
    Q_INVOKABLE static void copy(const QString& command);

  private:
    std::optional<QStringList> m_command;
};

}  // namespace skiff::ui
