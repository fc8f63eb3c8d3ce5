#pragma once

#include <QString>
#include <QtGlobal>
#include <string>

// Captures the parsers' log line for the duration of a scope, so a test can
// compare the reported line, column and byte.
class ParseLog {
public:
    ParseLog() { text().clear(); previous_ = qInstallMessageHandler(capture); }
    ~ParseLog() { qInstallMessageHandler(previous_); }
    static std::string &text()
    {
        static std::string t;
        return t;
    }

private:
    static void capture(QtMsgType, const QMessageLogContext &, const QString &message) 
    {
        text().clear();
        for (char ch : message.toStdString())
            text() += ch ? std::string(1, ch) : std::string("\\0");
    }
    QtMessageHandler previous_;
};

// The log line and error line that the parsers of `kind` give for a failure
// at `line`, `column` and `byte`, as the parser tests write them.
inline std::string parseError(const char *kind, int line, int column, const char *byte)
{
    return " | Error parsing " + std::string(kind) + " file around line #" + std::to_string(line) + ", col #" +
           std::to_string(column) + " (" + byte + ") | " + std::to_string(line);
}
