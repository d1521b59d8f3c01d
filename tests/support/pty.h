#pragma once

// A pseudo-terminal pair for serial tests: the test plays the device on the master side, the
// code under test opens the slave path like any serial port.

#include <QByteArray>
#include <QString>

class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    bool write(const QByteArray &bytes);
    // Reads what the host wrote, waiting up to timeoutMs for at least minBytes.
    QByteArray read(int minBytes, int timeoutMs = 2000);
    void closeMaster();

private:
    int m_master = -1;
    QString m_slavePath;
};
