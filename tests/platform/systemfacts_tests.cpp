#include "platform/linuxsystemfacts.h"

#include <QTimeZone>
#include <gtest/gtest.h>

using namespace rimo;

TEST(SystemFacts, LayoutLanguagesComeFromTheLayoutsOwnConfigItem)
{
    const QByteArray xml = R"(<?xml version="1.0"?>
<xkbConfigRegistry><layoutList>
  <layout><configItem><name>us</name><languageList><iso639Id>eng</iso639Id></languageList></configItem>
    <variantList><variant><configItem><name>chr</name><languageList><iso639Id>chr</iso639Id></languageList></configItem></variant></variantList>
  </layout>
  <layout><configItem><name>ir</name><languageList><iso639Id>fas</iso639Id><iso639Id>kur</iso639Id></languageList></configItem></layout>
</layoutList></xkbConfigRegistry>)";
    const auto codes = xkbLayoutLanguageCodes(xml);
    EXPECT_EQ(codes.value("us"), "eng"); // not the variant's language
    EXPECT_EQ(codes.value("ir"), "fas");
    EXPECT_FALSE(codes.contains("chr"));
    EXPECT_EQ(englishLanguageName("eng"), "English");
    EXPECT_EQ(englishLanguageName("fas"), "Persian");
    EXPECT_EQ(englishLanguageName("zzz"), "zzz");
}

TEST(SystemFacts, MemInfoGivesTotalAndAvailableInBytesPast4GB)
{
    const auto m =
        parseMemInfo("MemTotal:       16314608 kB\nMemFree:  100 kB\nMemAvailable:   8157304 kB\n");
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->totalBytes, quint64(16314608) * 1024);
    EXPECT_EQ(m->availableBytes, quint64(8157304) * 1024);
    EXPECT_FALSE(parseMemInfo("MemFree: 1 kB\n").has_value());
}

TEST(SystemFacts, ZoneDisplaysAndTheShippedZones)
{
    EXPECT_EQ(zoneDisplay(12600, "Tehran"), "(UTC+03:30) Tehran");
    EXPECT_EQ(zoneDisplay(-18000, "Eastern"), "(UTC-05:00) Eastern");
    EXPECT_EQ(zoneDisplay(0, "London"), "(UTC) London");

    // Standard offsets, also on a summer day.
    const QList<ZoneFacts> zones = windowsZones(QDateTime(QDate(2026, 7, 1), QTime(12, 0), Qt::UTC));
    auto display = [&](const QString& key) {
        for (const ZoneFacts& z : zones) {
            if (z.key == key)
                return z.display;
        }
        return QString();
    };
    EXPECT_EQ(display("Iran Standard Time"), "(UTC+03:30) Tehran");
    EXPECT_EQ(display("Nepal Standard Time"), "(UTC+05:45) Kathmandu");
    EXPECT_EQ(display("Eastern Standard Time"), "(UTC-05:00) Eastern Time (US & Canada)");
    EXPECT_EQ(display("UTC"), "(UTC) Coordinated Universal Time");
    for (qsizetype i = 1; i < zones.size(); ++i)
        EXPECT_LT(zones[i - 1].key.compare(zones[i].key, Qt::CaseInsensitive), 0);
}
