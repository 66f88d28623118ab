// The desktop program's notices tell times and dates in its locale's formats.
#include <QLocale>
#include <QTest>

#include "engine/clock.h"
#include "engine/time_and_date_text.h"
#include "mail/new_results_digest.h"
#include "ui/locale_time_and_date.h"
#include "ui_test_registry.h"

using namespace trawlix;

class TestLocaleTimeAndDate : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        SetTimeAndDateFormatter({});
        QLocale::setDefault(QLocale::c());
    }

    void aDigestSaysWhenInTheWindowsLocale() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        InstallLocaleTimeAndDate();
        const double evening = EncodeDate(2026, 12, 10) + (18 * 60 + 5) / 1440.0;
        QCOMPARE(QString::fromStdString(NotificationsSentText(false, true, evening)),
                 QString("Notifications (Email) were sent at 18:05 on 10.12.26"));
    }
};

TRAWLIX_UI_TEST(TestLocaleTimeAndDate)
#include "test_locale_time_and_date.moc"
