// Setting the clock: through the set-the-clock job when this user holds the grant, else
// through an administrator step that may grant it for next time.
#include "engine/engine.h"

#include "contract/contract.h"

#include "engine/enginefiles.h"
#include "engine/enginepaths.h"
#include "engine/enginetesting.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <unistd.h>

namespace Engine {

namespace {

int g_answerDeadlineMs = 14000;
constexpr int kPollMs = 100;

// One request line with a fresh nonce, then the result file polled for the answer that
// carries it; an older answer still in the file is never taken for this one.
bool askSetTimeJob(const QByteArray& command, QString* word, QString* detail)
{
    const QString nonce =
        QString::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, '0');
    if (!writeIntoExisting(Paths::statePath(contract::kSetTimeRequestFile),
                           command + ' ' + nonce.toLatin1() + '\n'))
        return false;
    const QDeadlineTimer deadline(g_answerDeadlineMs, Qt::CoarseTimer);
    const QString prefix = nonce + ' ';
    QString line;
    for (;;) {
        QFile result(Paths::statePath(contract::kSetTimeResultFile));
        if (result.open(QIODevice::ReadOnly)) {
            line = QString::fromUtf8(result.readLine(512)).trimmed();
            if (line.startsWith(prefix)) break;
        }
        QThread::msleep(kPollMs);
        if (deadline.hasExpired()) return false;
    }
    const QString rest = line.mid(prefix.size());
    const qsizetype space = rest.indexOf(' ');
    if (word) *word = space < 0 ? rest : rest.left(space);
    if (detail) *detail = space < 0 ? QString() : rest.mid(space + 1);
    return true;
}

} // namespace

void setAnswerDeadlineForTests(int ms)
{
    g_answerDeadlineMs = ms;
}

bool canSetClockWithoutPassword()
{
    const QFileInfo request(Paths::statePath(contract::kSetTimeRequestFile));
    return request.exists() && request.isWritable();
}

bool giveUpSettingClockWithoutPassword()
{
    QString word;
    return askSetTimeJob("revoke", &word, nullptr) && word == QLatin1String("revoked");
}

SetClockResult setClock(const QDateTime& time, bool dontAskAgain, QString* error)
{
    const QString text = time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + "Z";

    if (canSetClockWithoutPassword()) {
        QString word, detail;
        if (!askSetTimeJob(text.toLatin1(), &word, &detail)) {
            if (error)
                *error = QStringLiteral("The clock was not set: the job that sets it without a "
                                        "password did not answer.");
            return SetClockResult::Failed;
        }
        if (word == QLatin1String("ok")) return SetClockResult::Set;
        if (error) *error = detail;
        return SetClockResult::Refused;
    }

    QStringList args{"set-time", text};
    if (dontAskAgain) args << "--allow-user" << QString::number(getuid());
    const QString prompt =
        dontAskAgain ? QStringLiteral("Tessavel Veridir needs an administrator password to set "
                                      "this Mac's clock, and to let you set it from here without "
                                      "one from now on.")
                     : QStringLiteral("Tessavel Veridir needs an administrator password to set "
                                      "this Mac's clock.");
    QString local;
    const RunResult r = run(args, prompt, &local);
    if (r != RunResult::Failed) return SetClockResult::Set;
    if (wasCancelled(local)) {
        if (error) error->clear();
        return SetClockResult::Failed;
    }
    static const QRegularExpression noise(
        QStringLiteral("^\\d+:\\d+: execution error: |\\s*\\(-?\\d+\\)$"));
    local.remove(noise);
    if (error) *error = local;
    return local.contains(QLatin1String("earlier than this")) ? SetClockResult::Refused
                                                              : SetClockResult::Failed;
}

} // namespace Engine
