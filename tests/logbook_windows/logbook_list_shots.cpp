// Not a test: fills a logbook with sample entries, shows the list window
// with a filter typed in and saves a picture of it, and exports the same
// rows as a PDF report, for looking at.
//   logbook-list-shots OUTPUT_FOLDER
#include "Database.h"
#include "EntryListModel.h"
#include "RecordCursor.h"
#include "RecordWindows.h"
#include "Settings.h"
#include "TestDoubles.h"
#include "WindowManager.h"
#include "frmLogbookList.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QCheckBox>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

using namespace bravik;
using namespace bravik::logbook;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    test::TempSettings temp;
    auto db = Database::open({settings().databaseDriver, settings().database}, nullptr);
    const QStringList notes{
        QStringLiteral("Charged all three packs, 3 kW set"),
        QStringLiteral("Battery 2 cell imbalance 40 mV — keep an eye on it"),
        QStringLiteral("Tailcone O-ring replaced\nsecond line of the note"),
        QStringLiteral("Ünïcode check: Åse logged the swap"),
        QStringLiteral("Battery 1 swapped for spare SN 1042, \"quoted\" remark"),
        QStringLiteral("Nothing to report"),
    };
    const QStringList crew{QStringLiteral("Ana"), QStringLiteral("Ben"), QStringLiteral("Åse")};
    for (int i = 0; i < 60; ++i) {
        RecordCursor c(*db, QStringLiteral("BatteryCharge"));
        c.open();
        c.beginNew();
        c.stampNewRow(QDateTime(QDate(2026, 12, 1 + i / 10), QTime(6 + i % 10, 15, 0), Qt::UTC), QStringLiteral("deck-pc"));
        c.setValue(QStringLiteral("Date/Time"), QStringLiteral("12/%1/2026 %2:15:00 AM").arg(1 + i / 10).arg(6 + i % 10));
        c.setValue(QStringLiteral("SubmittedBy"), crew.at(i % 3));
        c.setValue(QStringLiteral("LogfileName"), QStringLiteral("charge_%1.log").arg(i));
        c.setValue(QStringLiteral("Batt1SN"), QStringLiteral("SN10%1").arg(40 + i % 5));
        c.setValue(QStringLiteral("Bat1MinV"), QStringLiteral("28.%1").arg(i % 10));
        c.setValue(QStringLiteral("Notes"), notes.at(i % notes.size()));
        c.save();
    }
    windows().reset();
    logbook::registerWindows();
    auto *w = windows().show<frmLogbookList>();
    w->cmbKind->setCurrentIndex(w->cmbKind->findText(QStringLiteral("Battery Charge")));
    QTest::keyClicks(w->txtContains, QStringLiteral("battery"));
    QTest::keyClicks(w->txtSince, QStringLiteral("2026-12-03"));
    QTest::keyClick(w->txtSince, Qt::Key_Return);
    for (int i = 0; i < 100 && (w->model()->isBusy() || w->model()->rowCount() == 0); ++i)
        QTest::qWait(100);
    QTest::qWait(300);
    w->grab().save(out + QStringLiteral("/logbook-list-filtered.png"));

    ExportRequest r{{settings().databaseDriver, settings().database}, QStringLiteral("BatteryCharge"),
                    w->model()->filter(), ExportRequest::Pdf};
    r.filter.includeVoid = w->chkIncludeVoid->isChecked();
    QString error;
    exportToFile(r, out + QStringLiteral("/logbook-battery.pdf"), {}, &error);

    // Corrections: one entry changed after it was stored, one voided.
    QSqlQuery q(db->connection());
    q.exec(QStringLiteral("UPDATE \"BatteryCharge\" SET \"RowVersion\" = 1 WHERE \"LogfileName\" = 'charge_58.log'"));
    q.exec(QStringLiteral("UPDATE \"BatteryCharge\" SET \"Voided\" = TRUE, \"VoidReason\" = 'logged on the wrong vehicle', "
                          "\"RowVersion\" = 1 WHERE \"LogfileName\" = 'charge_57.log'"));
    w->txtContains->clear();
    w->txtSince->clear();
    w->chkIncludeVoid->setChecked(true);
    w->applyFilter();
    for (int i = 0; i < 100 && (w->model()->isBusy() || w->model()->rowCount() == 0); ++i)
        QTest::qWait(100);
    QTest::qWait(300);
    w->grab().save(out + QStringLiteral("/logbook-list-corrections.png"));
    r.filter = {};
    r.filter.includeVoid = true;
    exportToFile(r, out + QStringLiteral("/logbook-battery-with-void.pdf"), {}, &error);
    windows().reset();
    return 0;
}
