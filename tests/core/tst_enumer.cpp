#include "core/DeviceType.h"
#include "core/Enumer.h"

#include <QtTest>

#include <thread>
#include <vector>

// A narrow enum with labels, a default and a gap in its values, listed out of numeric order.
enum class Shade : uint8_t { light = 0, dark = 2, medium = 1, unlisted = 9 };
ENUMER_DECLARE_METADATA(Shade);
ENUMER_DEFINE_METADATA(Shade, data)
{
    data.appendInternal(uint32_t(Shade::light), "light", "Light");
    data.appendInternal(uint32_t(Shade::dark), QStringLiteral("dark"), QStringLiteral("Dark"));
    data.appendInternal(uint32_t(Shade::medium), "medium", nullptr);
    data.setDefault(uint32_t(Shade::medium));
}

// An enum without entries.
enum class Nothing : uint32_t {};
ENUMER_DECLARE_METADATA(Nothing);
ENUMER_DEFINE_METADATA(Nothing, data)
{
    Q_UNUSED(data);
}

// Values 1 and 2 only: 0 is free, so 0 is the invalid value.
enum class FromOne : uint32_t { one = 1, two = 2 };
ENUMER_DECLARE_METADATA(FromOne);
ENUMER_DEFINE_METADATA(FromOne, data)
{
    data.appendInternal(uint32_t(FromOne::two), "two");
    data.appendInternal(uint32_t(FromOne::one), "one");
}

// Used by one test only, so that its table is first filled there, from several threads at once.
enum class Fresh : uint32_t { a = 0, b = 1 };
ENUMER_DECLARE_METADATA(Fresh);
ENUMER_DEFINE_METADATA(Fresh, data)
{
    data.appendInternal(uint32_t(Fresh::a), "a");
    data.appendInternal(uint32_t(Fresh::b), "b");
}

class TestEnumer : public QObject {
    Q_OBJECT
private slots:
    void deviceTypeNames_data()
    {
        QTest::addColumn<uint>("value");
        QTest::addColumn<QString>("name");
        QTest::newRow("none") << 0u << "none";
        QTest::newRow("kestrin") << 1u << "kestrin";
        QTest::newRow("kestrin_2") << 2u << "kestrin_2";
        QTest::newRow("kestrin_2_anc") << 3u << "kestrin_2_anc";
        QTest::newRow("solvarine") << 4u << "solvarine";
    }
    void deviceTypeNames()
    {
        QFETCH(uint, value);
        QFETCH(QString, name);
        QCOMPARE(Enumer<DeviceType>::NameOrNull(DeviceType(value)), name);
        DeviceType back = DeviceType::none;
        QVERIFY(Enumer<DeviceType>::Value(back, name));
        QCOMPARE(uint(back), value);
        QCOMPARE(Enumer<DeviceType>::IndexOf(DeviceType(value)), int(value));
        QVERIFY(Enumer<DeviceType>::IsValid(DeviceType(value)));
    }

    void hwTypeNames()
    {
        const QStringList expected{"ps_headset", "ps_dongle", "xbox_headset", "xbox_dongle"};
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(Enumer<KestrinHwType>::NameOrNull(KestrinHwType(i)), expected[i]);
        QCOMPARE(Enumer<KestrinHwType>::Values(),
                 (QList<KestrinHwType>{KestrinHwType::ps_headset, KestrinHwType::ps_dongle, KestrinHwType::xbox_headset,
                                       KestrinHwType::xbox_dongle}));
        QCOMPARE(uint(Enumer<KestrinHwType>::Invalid()), 4u);
        QCOMPARE(uint(Enumer<KestrinHwType>::Default()), 4u);
    }

    void unlistedValue()
    {
        const auto seven = DeviceType(7);
        QVERIFY(Enumer<DeviceType>::NameOrNull(seven).isEmpty());
        QCOMPARE(Enumer<DeviceType>::NameOrDefault(seven, "x"), QStringLiteral("x"));
        QString out = "kept";
        QVERIFY(!Enumer<DeviceType>::Name(out, seven));
        QCOMPARE(out, QStringLiteral("kept"));
        QVERIFY(!Enumer<DeviceType>::IsValid(seven));
        QCOMPARE(Enumer<DeviceType>::IndexOf(seven), -1);
        QVERIFY(!Enumer<DeviceType>::Translation(out, seven));
        QCOMPARE(out, QStringLiteral("kept"));
        QVERIFY(Enumer<DeviceType>::TranslationOrNull(seven).isEmpty());

        DeviceType target = DeviceType::kestrin;
        QVERIFY(!Enumer<DeviceType>::AssignIfValid(target, seven));
        QCOMPARE(target, DeviceType::kestrin);
        QVERIFY(Enumer<DeviceType>::AssignIfValid(target, DeviceType::solvarine));
        QCOMPARE(target, DeviceType::solvarine);
    }

    void nameLookupIsExact_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow("exact") << "kestrin" << true;
        QTest::newRow("capital") << "Kestrin" << false;
        QTest::newRow("upper") << "KESTRIN_2" << false;
        QTest::newRow("trailing blank") << "kestrin " << false;
        QTest::newRow("prefix") << "kestrin_" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("null") << QString() << false;
    }
    void nameLookupIsExact()
    {
        QFETCH(QString, name);
        QFETCH(bool, found);
        DeviceType out = DeviceType(42);
        QCOMPARE(Enumer<DeviceType>::Value(out, name), found);
        QCOMPARE(out, found ? DeviceType::kestrin : DeviceType(42));
        QCOMPARE(Enumer<DeviceType>::ValueOrDefault(name, DeviceType::solvarine),
                 found ? DeviceType::kestrin : DeviceType::solvarine);
    }

    void invalidAndDefault()
    {
        QCOMPARE(uint(Enumer<DeviceType>::Invalid()), 5u);
        QCOMPARE(uint(Enumer<DeviceType>::Default()), 5u);
        QCOMPARE(uint(Enumer<Shade>::Invalid()), 3u);
        QCOMPARE(Enumer<Shade>::Default(), Shade::medium);
        QCOMPARE(uint(Enumer<FromOne>::Invalid()), 0u);
        QCOMPARE(uint(Enumer<Nothing>::Invalid()), 0u);
        QCOMPARE(Enumer<Nothing>::Count(), 0);
        QVERIFY(Enumer<Nothing>::Values().isEmpty());
        QCOMPARE(uint(Enumer<Nothing>::At(0)), 0u);
    }

    void positions_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<uint>("value");
        QTest::newRow("first") << 0 << 0u;
        QTest::newRow("last") << 4 << 4u;
        QTest::newRow("minus one") << -1 << 5u;
        QTest::newRow("very negative") << std::numeric_limits<int>::min() << 5u;
        QTest::newRow("count") << 5 << 5u;
        QTest::newRow("far beyond") << std::numeric_limits<int>::max() << 5u;
    }
    void positions()
    {
        QFETCH(int, index);
        QFETCH(uint, value);
        QCOMPARE(uint(Enumer<DeviceType>::At(index)), value);
        QCOMPARE(uint(Enumer<DeviceType>::AtAssert(index)), value);
    }

    void listingOrderIsInsertionOrder()
    {
        QCOMPARE(Enumer<Shade>::Values(), (QList<Shade>{Shade::light, Shade::dark, Shade::medium}));
        QCOMPARE(&Enumer<Shade>::Values(), &Enumer<Shade>::Values());
        QCOMPARE(Enumer<Shade>::At(1), Shade::dark);
        QCOMPARE(Enumer<Shade>::IndexOf(Shade::medium), 2);
        QCOMPARE(Enumer<Shade>::IndexOf(Shade::unlisted), -1);
        QCOMPARE(Enumer<FromOne>::Values(), (QList<FromOne>{FromOne::two, FromOne::one}));
        QCOMPARE(Enumer<DeviceType>::Values(),
                 (QList<DeviceType>{DeviceType::none, DeviceType::kestrin, DeviceType::kestrin_2,
                                    DeviceType::kestrin_2_anc, DeviceType::solvarine}));
    }

    void translations()
    {
        QCOMPARE(Enumer<Shade>::Translations(), (QStringList{"Light", "Dark", ""}));
        QCOMPARE(&Enumer<Shade>::Translations(), &Enumer<Shade>::Translations());
        QCOMPARE(Enumer<Shade>::TranslationOrNull(Shade::dark), QStringLiteral("Dark"));
        QString out;
        QVERIFY(Enumer<Shade>::Translation(out, Shade::light));
        QCOMPARE(out, QStringLiteral("Light"));
        QCOMPARE(Enumer<DeviceType>::Translations(), (QStringList{"", "", "", "", ""}));
    }

    void firstUseFromManyThreads()
    {
        std::vector<std::thread> threads;
        std::atomic<int> good{0};
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back([&] {
                if (Enumer<Fresh>::NameOrNull(Fresh::b) == "b" && Enumer<Fresh>::Count() == 2 &&
                    Enumer<Fresh>::Values().size() == 2)
                    ++good;
            });
        }
        for (auto& thread : threads)
            thread.join();
        QCOMPARE(good.load(), 8);
    }

    void kestrinFamily_data()
    {
        QTest::addColumn<uint>("type");
        QTest::addColumn<bool>("likeKestrin");
        QTest::newRow("none") << 0u << false;
        QTest::newRow("kestrin") << 1u << true;
        QTest::newRow("kestrin_2") << 2u << true;
        QTest::newRow("kestrin_2_anc") << 3u << true;
        QTest::newRow("solvarine") << 4u << false;
        QTest::newRow("invalid") << 5u << false;
        QTest::newRow("huge") << 0xFFFFFFFFu << false;
    }
    void kestrinFamily()
    {
        QFETCH(uint, type);
        QFETCH(bool, likeKestrin);
        QCOMPARE(IsLikeKestrin(DeviceType(type)), likeKestrin);
    }

    void similarDevices_data()
    {
        QTest::addColumn<uint>("a");
        QTest::addColumn<uint>("b");
        QTest::addColumn<bool>("similar");
        QTest::newRow("1~3") << 1u << 3u << true;
        QTest::newRow("3~2") << 3u << 2u << true;
        QTest::newRow("2~2") << 2u << 2u << true;
        QTest::newRow("1!4") << 1u << 4u << false;
        QTest::newRow("4!1") << 4u << 1u << false;
        QTest::newRow("0!1") << 0u << 1u << false;
        QTest::newRow("1!0") << 1u << 0u << false;
        QTest::newRow("4~4") << 4u << 4u << true;
        QTest::newRow("0~0") << 0u << 0u << true;
        QTest::newRow("0!4") << 0u << 4u << false;
        QTest::newRow("7~7") << 7u << 7u << true;
        QTest::newRow("7!1") << 7u << 1u << false;
    }
    void similarDevices()
    {
        QFETCH(uint, a);
        QFETCH(uint, b);
        QFETCH(bool, similar);
        QCOMPARE(AreDevicesSimilar(DeviceType(a), DeviceType(b)), similar);
        QCOMPARE(AreDevicesSimilar(DeviceType(b), DeviceType(a)), similar);
    }

    void hashable()
    {
        QSet<DeviceType> set{DeviceType::kestrin, DeviceType::kestrin_2, DeviceType::kestrin};
        QCOMPARE(set.size(), 2);
        QVERIFY(set.contains(DeviceType::kestrin_2));
    }
};

QTEST_GUILESS_MAIN(TestEnumer)
#include "tst_enumer.moc"
