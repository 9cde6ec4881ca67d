#pragma once
// The main window's list of time servers: the scans that fill it (quietly in the background
// when the window comes back to a stale list), the table with a status chip per server, the
// selection that a new list carries over by id, and the status text under the table.

#include "discovery/app/discoveredserver.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

class DiscoveryClient;
class InstSection;
class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;

class ServerList : public QObject
{
    Q_OBJECT

public:
    // Builds the section in parent. A list is stale, and worth a quiet refresh, after
    // staleAfterMs (a minute; tests shorten it rather than wait).
    explicit ServerList(QWidget* parent, qint64 staleAfterMs = 60'000);

    InstSection* section() const { return sectionWidget; }
    QTableWidget* table() const { return tableWidget; }
    QPushButton* searchButton() const { return searchAgain; }
    QLabel* statusLine() const { return statusLabel; }

    // A search the user asked for: the table empties and the status line says so.
    void startScan();
    // A scan that leaves table and status line alone, started only when no scan runs and the
    // list is stale; returns whether it started.
    bool refreshInBackground();
    bool isScanning() const;

    // The server this computer is set up with: shown "IN USE" and never offered for setup.
    const QString& currentAddress() const { return inUseAddress; }
    void setCurrentAddress(const QString& address);

    // A new list: fills the table, selects as the rules say, words the status, emits listed().
    void take(const QList<DiscoveredServer>& servers);
    const QList<DiscoveredServer>& servers() const { return list; }
    // Fills the rows again from the same list (after a setup, or in a new appearance); returns
    // the number of ready servers.
    int fill();
    void refillKeepingSelection();
    int selectedRow() const; // -1: none
    DiscoveredServer selectedServer(bool* ok) const;
    bool canSetUpWith(const DiscoveredServer& server) const;
    // The name of the first listed server with this address; empty when none is listed.
    QString nameOf(const QString& address) const;

signals:
    void listed();
    void selectionChanged();
    void activated(); // a row double-clicked, or Enter on it

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DiscoveryClient* discovery;
    InstSection* sectionWidget = nullptr;
    QPushButton* searchAgain = nullptr;
    QTableWidget* tableWidget = nullptr;
    QLabel* statusLabel = nullptr;
    QList<DiscoveredServer> list; // row i of the table is list[i]
    QString inUseAddress;
    const qint64 staleAfterMs;
    QElapsedTimer sinceList;
    bool quietRefresh = false;
    QString lastStatusText;
};
