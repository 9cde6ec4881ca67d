#include "ui/serverlist.h"

#include "ui/plaintext.h"
#include "ui/serverrules.h"

#include "discovery/app/discoveryclient.h"
#include "inst/inst.h"
#include "inst/instspoken.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kListenMs = 1500;

} // namespace

ServerList::ServerList(QWidget* parent, qint64 staleAfterMs)
    : QObject(parent), discovery(new DiscoveryClient(this)), staleAfterMs(staleAfterMs)
{
    sectionWidget = new InstSection(QStringLiteral("Time servers on this network"), parent);
    searchAgain = new QPushButton(QStringLiteral("Search again"), sectionWidget);
    searchAgain->setCursor(Qt::PointingHandCursor);
    Inst::setSmall(searchAgain);
    sectionWidget->addHeaderWidget(searchAgain);

    tableWidget = new QTableWidget(0, 4, sectionWidget);
    tableWidget->setAccessibleName(QStringLiteral("Time servers"));
    tableWidget->setHorizontalHeaderLabels({"SERVER", "ADDRESS", "STRATUM", "STATUS"});
    QHeaderView* h = tableWidget->horizontalHeader();
    h->setSectionResizeMode(QHeaderView::ResizeToContents);
    h->setSectionResizeMode(0, QHeaderView::Stretch);
    h->setMinimumSectionSize(96);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    h->setSectionsClickable(false);
    h->setHighlightSections(false);
    tableWidget->verticalHeader()->setVisible(false);
    tableWidget->verticalHeader()->setDefaultSectionSize(30);
    tableWidget->setShowGrid(false);
    tableWidget->setFrameShape(QFrame::NoFrame);
    // Reached by Tab too: arrows choose a server, Enter sets it up.
    tableWidget->setFocusPolicy(Qt::StrongFocus);
    tableWidget->setTabKeyNavigation(false); // Tab leaves the list rather than walk its cells
    tableWidget->installEventFilter(this);
    tableWidget->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget->setSelectionMode(QAbstractItemView::SingleSelection);
    tableWidget->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sectionWidget->content()->addWidget(tableWidget, 1);

    // Plain: the status names servers.
    statusLabel = PlainText::label(new QLabel(sectionWidget));
    statusLabel->setWordWrap(true);
    Inst::setTone(statusLabel, "muted");
    statusLabel->setFont(Inst::mono(11.5));
    sectionWidget->content()->addWidget(statusLabel);

    connect(searchAgain, &QPushButton::clicked, this, &ServerList::startScan);
    connect(tableWidget, &QTableWidget::itemSelectionChanged, this, &ServerList::selectionChanged);
    connect(tableWidget, &QTableWidget::cellDoubleClicked, this, &ServerList::activated);
    connect(discovery, &DiscoveryClient::finished, this, &ServerList::take);
}

bool ServerList::eventFilter(QObject* watched, QEvent* event)
{
    // Enter on a chosen row is a double click; the view would only pass it on (Qt on the Mac)
    // or emit activated() as well as pass it on to the window (elsewhere).
    if (watched == tableWidget && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (selectedRow() >= 0) emit activated();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ServerList::startScan()
{
    // A quiet refresh under way (the window just came back) becomes the search asked for.
    const bool running = discovery->isScanning();
    if (running && !quietRefresh) return;
    quietRefresh = false;
    statusLabel->setText(QStringLiteral("Searching for time servers…"));
    searchAgain->setEnabled(false);
    tableWidget->setRowCount(0);
    emit selectionChanged();
    if (!running) discovery->scan(kListenMs);
}

bool ServerList::refreshInBackground()
{
    if (discovery->isScanning() || (sinceList.isValid() && sinceList.elapsed() < staleAfterMs))
        return false;
    quietRefresh = true;
    searchAgain->setEnabled(false);
    discovery->scan(kListenMs);
    return true;
}

bool ServerList::isScanning() const
{
    return discovery->isScanning();
}

void ServerList::setCurrentAddress(const QString& address)
{
    inUseAddress = address;
    discovery->setFollowedAddress(address);
}

void ServerList::take(const QList<DiscoveredServer>& servers)
{
    bool hadSelection = false;
    const QString selectedId = selectedServer(&hadSelection).id;
    list = servers;
    sinceList.start();
    // A row number means another server in the new list: only the id may carry a selection over.
    tableWidget->clearSelection();
    searchAgain->setEnabled(true);
    const int ready = fill();
    for (int i = 0; hadSelection && i < list.size(); ++i)
        if (list[i].id == selectedId) {
            tableWidget->selectRow(i);
            break;
        }

    int qualifying = 0;
    int only = -1;
    for (int i = 0; i < list.size(); ++i)
        if (canSetUpWith(list[i])) ++qualifying, only = i;
    bool selected = selectedRow() >= 0;
    if (!selected && qualifying == 1) {
        tableWidget->selectRow(only);
        selected = true;
    }

    QString text = list.isEmpty()
                       ? QStringLiteral("No servers found. Turn on \"Advertise on network\" on the "
                                        "server, or use \"Enter IP address…\".")
                       : QStringLiteral("Found %1 server%2 (%3 ready).")
                             .arg(list.size())
                             .arg(list.size() == 1 ? QString() : QStringLiteral("s"))
                             .arg(ready);
    if (qualifying >= 2 && !selected)
        text += QStringLiteral(" Select one, then click Set up this computer.");
    // A quiet refresh that found nothing new leaves a flow's last word in place.
    if (!(quietRefresh && text == lastStatusText)) statusLabel->setText(text);
    lastStatusText = text;
    quietRefresh = false;
    emit listed();
}

int ServerList::fill()
{
    tableWidget->setRowCount(int(list.size()));
    for (int row = 0; row < list.size(); ++row) {
        const DiscoveredServer& s = list[row];
        const QStringList cells{s.name, s.address,
                                s.stratum == 0 ? QStringLiteral("—") : QString::number(s.stratum)};
        for (int col = 0; col < 4; ++col) {
            auto* item = new QTableWidgetItem(col < 3 ? cells[col] : QString());
            if (col == 0) item->setFont(Inst::sans(12.5, QFont::Medium));
            if (!isReady(s)) item->setForeground(Inst::tokens()->mut);
            tableWidget->setItem(row, col, item);
        }
        InstChip::Tone tone = InstChip::Neutral;
        const QString word = serverStatusWord(s, inUseAddress, &tone);
        // The chip paints the word; the cell says it, as the chip would be read.
        tableWidget->item(row, 3)->setData(Qt::AccessibleTextRole, Inst::readable(word));
        auto* cell = new QWidget;
        auto* layout = new QHBoxLayout(cell);
        layout->setContentsMargins(0, 0, 10, 0);
        layout->addWidget(new InstChip(word, tone, cell), 0, Qt::AlignVCenter);
        layout->addStretch(1);
        // The old chip goes by deleteLater, which a modal box open now holds back until it
        // closes: hidden, it cannot show through the new one.
        if (QWidget* old = tableWidget->cellWidget(row, 3)) old->hide();
        tableWidget->setCellWidget(row, 3, cell);
    }
    return readyCount(list);
}

void ServerList::refillKeepingSelection()
{
    const int row = selectedRow();
    fill();
    if (row >= 0) tableWidget->selectRow(row);
}

int ServerList::selectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = tableWidget->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

DiscoveredServer ServerList::selectedServer(bool* ok) const
{
    const int row = selectedRow();
    *ok = row >= 0 && row < list.size();
    return *ok ? list[row] : DiscoveredServer{};
}

bool ServerList::canSetUpWith(const DiscoveredServer& server) const
{
    return ::canSetUpWith(server, inUseAddress);
}

QString ServerList::nameOf(const QString& address) const
{
    for (const DiscoveredServer& s : list)
        if (s.address == address) return s.name;
    return QString();
}
