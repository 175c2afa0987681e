#pragma once

// Names, labels, listing order, default and "invalid" value of the program's enums.
//
// Giving an enum its metadata (in any library):
//
//     // MyEnum.h
//     #include "core/Enumer.h"
//     enum class MyEnum : uint8_t { a = 0, b = 1 };
//     ENUMER_DECLARE_METADATA(MyEnum);
//
//     // MyEnum.cpp
//     ENUMER_DEFINE_METADATA(MyEnum, data)
//     {
//         data.appendInternal(uint32_t(MyEnum::a), "a");
//         data.appendInternal(uint32_t(MyEnum::b), "b", QCoreApplication::translate("QCoreApplication", "B"));
//         data.setDefault(uint32_t(MyEnum::a));
//     }
//
// and then ask Enumer<MyEnum>::Name(...), ::Values(), ... Both macros stand at global scope (outside
// any namespace), with the enum's qualified name: ENUMER_DECLARE_METADATA(DeviceData::AncMode).
// Labels are taken when the table is filled, so a later language change is not reflected.
// The table is filled on its first use (thread-safe) and never changes afterwards, so lookups need
// no lock. Listing order is insertion order. The invalid value is the smallest non-negative number
// that no entry uses.

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <type_traits>
#include <vector>

class EnumerMetadataStorageHelperBase {
public:
    struct Record {
        uint32_t value = 0;
        QString name;
        QString translation; // null when the enum has no labels
    };

    class DataBase {
    public:
        void appendInternal(uint32_t value, QString&& name, QString&& translation);
        void appendInternal(uint32_t value, QString&& name, const char* translation);
        void appendInternal(uint32_t value, const char* name, QString&& translation);
        void appendInternal(uint32_t value, const char* name, const char* translation);
        void appendInternal(uint32_t value, const char* name);
        void setDefault(uint32_t value);
        void complete();

        const Record* findInternal(uint32_t value) const;
        const Record* findByName(const QString& name) const;
        bool toCodeString(QString& out, uint32_t value) const;
        QString toCodeStringDef(uint32_t value, const QString& def) const;
        const QString& toCodeStringOrNull(uint32_t value) const;
        int getIndexOf(uint32_t value) const;
        bool findTranslation(QString& out, uint32_t value) const;
        const QString& findTranslation(uint32_t value) const;
        uint32_t getDefaultOrInvalid() const;
        uint32_t getInvalid() const { return m_invalidValue; }
        // The value at listing position `index`; the invalid value for a negative or too large index.
        uint32_t at(int index) const;
        int count() const { return int(m_records.size()); }
        QStringList getTranslations() const;
        const std::vector<Record>& records() const { return m_records; }

    private:
        void append(Record&& record);

        std::vector<Record> m_records;
        uint32_t m_defaultValue = 0;
        uint32_t m_invalidValue = 0;
        bool m_hasDefault = false;
    };
};

template <typename T>
class EnumerMetadataStorageHelper : public EnumerMetadataStorageHelperBase {
    static_assert(std::is_enum_v<T>, "Enumer works on enums only");
    static_assert(sizeof(T) <= sizeof(uint32_t), "Enumer keeps values as 32-bit unsigned numbers");

public:
    using Data = DataBase;

    // Written once per enum (ENUMER_DEFINE_METADATA); appends the records and the default.
    static void FillData(Data& data);

    static const Data& GetData()
    {
        static const Data data = [] {
            Data filled;
            FillData(filled);
            filled.complete();
            return filled;
        }();
        return data;
    }

    static const QList<T>& GetValues()
    {
        static const QList<T> values = [] {
            QList<T> list;
            const Data& data = GetData();
            list.reserve(data.count());
            for (const Record& record : data.records())
                list.append(T(record.value));
            return list;
        }();
        return values;
    }

    static const QStringList& GetTranslations()
    {
        static const QStringList translations = GetData().getTranslations();
        return translations;
    }
};

// Declares, in the enum's header, that the enum's metadata is defined in some source file.
#define ENUMER_DECLARE_METADATA(Type)                                                                                  \
    template <>                                                                                                        \
    void EnumerMetadataStorageHelper<Type>::FillData(EnumerMetadataStorageHelper<Type>::Data& data)

// Starts the definition of the enum's metadata; the body appends the records (see above).
// `dataName` is the name of a parameter, which parentheses would not make any safer.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define ENUMER_DEFINE_METADATA(Type, dataName)                                                                         \
    template <>                                                                                                        \
    void EnumerMetadataStorageHelper<Type>::FillData(EnumerMetadataStorageHelper<Type>::Data& dataName)
// NOLINTEND(bugprone-macro-parentheses)

template <typename T>
class Enumer {
    using Storage = EnumerMetadataStorageHelper<T>;
    static const typename Storage::Data& data() { return Storage::GetData(); }
    static uint32_t raw(T v) { return uint32_t(v); }

public:
    // Code name of v; an empty string for an unlisted value.
    static const QString& NameOrNull(T v) { return data().toCodeStringOrNull(raw(v)); }
    // True and out = code name; false leaves out unchanged.
    static bool Name(QString& out, T v) { return data().toCodeString(out, raw(v)); }
    static QString NameOrDefault(T v, const QString& def) { return data().toCodeStringDef(raw(v), def); }
    // Exact, case-sensitive match of the code name; false leaves out unchanged.
    static bool Value(T& out, const QString& name)
    {
        if (const auto* record = data().findByName(name)) {
            out = T(record->value);
            return true;
        }
        return false;
    }
    static T ValueOrDefault(const QString& name, T def)
    {
        Value(def, name);
        return def;
    }
    static bool AssignIfValid(T& out, T v)
    {
        if (!IsValid(v))
            return false;
        out = v;
        return true;
    }
    static bool IsValid(T v) { return data().findInternal(raw(v)) != nullptr; }
    static T Invalid() { return T(data().getInvalid()); }
    static T Default() { return T(data().getDefaultOrInvalid()); }
    static int Count() { return data().count(); }
    static T At(int i) { return T(data().at(i)); }
    static T AtAssert(int i) { return At(i); }
    static int IndexOf(T v) { return data().getIndexOf(raw(v)); }
    static const QList<T>& Values() { return Storage::GetValues(); }
    static bool Translation(QString& out, T v) { return data().findTranslation(out, raw(v)); }
    static const QString& TranslationOrNull(T v) { return data().findTranslation(raw(v)); }
    static const QStringList& Translations() { return Storage::GetTranslations(); }
};
