#include "ui/sheets/firewall_tool.hpp"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

namespace skiff::ui {
namespace {

struct Candidate {
    const char* program;     // looked up on the search path
    QStringList desktopIds;  // looked up in the data folders
};

// In the order a desktop is likely to prefer them.
const Candidate kCandidates[] = {
    {"gufw", {"gufw.desktop"}},
    {"firewall-config", {"firewall-config.desktop", "org.fedoraproject.FirewallConfig.desktop"}},
    {nullptr, {"kcm_firewall.desktop", "org.kde.plasma.firewall.desktop"}},
};

// Desktop entries are a few hundred bytes; a huge file is not one.
constexpr qint64 kMaxEntryBytes = 64 * 1024;

bool isProgram(const QString& file) {
    QFileInfo info(file);
    return info.isFile() && info.isExecutable();
}

std::optional<QString> resolve(const QString& program, const QString& searchPath) {
    if (program.isEmpty()) return std::nullopt;
    if (program.contains('/')) {
        if (QDir::isAbsolutePath(program) && isProgram(program)) return program;
        return std::nullopt;
    }
    for (const QString& dir : searchPath.split(':', Qt::SkipEmptyParts)) {
        QString file = QDir(dir).filePath(program);
        if (isProgram(file)) return QFileInfo(file).absoluteFilePath();
    }
    return std::nullopt;
}

// Splits an Exec value into arguments: double quotes group, a backslash escapes inside them,
// and the field codes (%f, %U, ...) that a launcher would fill in are dropped.
QStringList execArguments(const QString& exec) {
    QStringList args;
    QString current;
    bool inQuotes = false;
    bool started = false;
    for (int i = 0; i < exec.size(); ++i) {
        QChar c = exec[i];
        if (inQuotes) {
            if (c == '\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else if (c == '"') {
                inQuotes = false;
            } else {
                current += c;
            }
        } else if (c == '"') {
            inQuotes = true;
            started = true;
        } else if (c == ' ' || c == '\t') {
            if (started) args << current;
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started) args << current;

    QStringList kept;
    for (QString& arg : args) {
        if (arg.size() == 2 && arg[0] == '%' && arg[1] != '%') continue;
        kept << arg.replace("%%", "%");
    }
    return kept;
}

// The command of a desktop entry whose program is installed; nothing for a hidden entry or one
// whose program (or TryExec) cannot be found.
std::optional<QStringList> entryCommand(const QString& file, const QString& searchPath) {
    QFile entry(file);
    if (!entry.open(QIODevice::ReadOnly) || entry.size() > kMaxEntryBytes) return std::nullopt;
    const QString text = QString::fromUtf8(entry.readAll());

    bool inMain = false;
    QString exec, tryExec;
    bool hidden = false;
    for (const QString& raw : text.split('\n')) {
        QString line = raw.trimmed();
        if (line.startsWith('[')) {
            inMain = line == "[Desktop Entry]";
            continue;
        }
        int equals = line.indexOf('=');
        if (!inMain || line.startsWith('#') || equals < 0) continue;
        QString key = line.left(equals).trimmed();
        QString value = line.mid(equals + 1).trimmed();
        if (key == "Exec") exec = value;
        if (key == "TryExec") tryExec = value;
        if (key == "Hidden") hidden = value == "true";
    }
    if (hidden || exec.isEmpty()) return std::nullopt;
    if (!tryExec.isEmpty() && !resolve(tryExec, searchPath)) return std::nullopt;
    QStringList args = execArguments(exec);
    if (args.isEmpty()) return std::nullopt;
    std::optional<QString> program = resolve(args.front(), searchPath);
    if (!program) return std::nullopt;
    args.front() = *program;
    return args;
}

std::optional<QStringList> desktopCommand(const QString& id, const ToolSearch& search) {
    // The first folder holding the entry decides: a user's hidden copy hides the system's.
    for (const QString& dir : search.dataDirs) {
        QString file = QDir(dir).filePath("applications/" + id);
        if (QFileInfo::exists(file)) return entryCommand(file, search.path);
    }
    return std::nullopt;
}

}  // namespace

ToolSearch ToolSearch::fromEnvironment() {
    ToolSearch search;
    search.path = qEnvironmentVariable("PATH");
    search.dataDirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    return search;
}

std::optional<QStringList> findFirewallTool(const ToolSearch& search) {
    for (const Candidate& candidate : kCandidates) {
        if (candidate.program) {
            if (auto program = resolve(candidate.program, search.path))
                return QStringList{*program};
        }
        for (const QString& id : candidate.desktopIds) {
            if (auto command = desktopCommand(id, search)) return command;
        }
    }
    return std::nullopt;
}

FirewallTool::FirewallTool(QObject* parent)
    : QObject(parent), m_command(findFirewallTool(ToolSearch::fromEnvironment())) {}

void FirewallTool::open() {
    if (m_command) QProcess::startDetached(m_command->front(), m_command->mid(1));
}

void FirewallTool::copy(const QString& command) {
    QGuiApplication::clipboard()->setText(command);
}

}  // namespace skiff::ui
