#include "core/Enumer.h"

#include "utils/Utils.h"

#include <algorithm>

using Data = EnumerMetadataStorageHelperBase::DataBase;
using Record = EnumerMetadataStorageHelperBase::Record;

namespace {
QString FromUtf8OrEmpty(const char* text)
{
    return text ? QString::fromUtf8(text) : QString(QLatin1String(""));
}
} // namespace

void Data::append(Record&& record)
{
    if (m_records.empty())
        m_records.reserve(64);
    m_records.push_back(std::move(record));
}

void Data::appendInternal(uint32_t value, QString&& name, QString&& translation)
{
    append(Record{value, std::move(name), std::move(translation)});
}

void Data::appendInternal(uint32_t value, QString&& name, const char* translation)
{
    append(Record{value, std::move(name), FromUtf8OrEmpty(translation)});
}

void Data::appendInternal(uint32_t value, const char* name, QString&& translation)
{
    append(Record{value, FromUtf8OrEmpty(name), std::move(translation)});
}

void Data::appendInternal(uint32_t value, const char* name, const char* translation)
{
    append(Record{value, FromUtf8OrEmpty(name), FromUtf8OrEmpty(translation)});
}

void Data::appendInternal(uint32_t value, const char* name)
{
    append(Record{value, FromUtf8OrEmpty(name), QString()});
}

void Data::setDefault(uint32_t value)
{
    m_defaultValue = value;
    m_hasDefault = true;
}

void Data::complete()
{
    m_records.shrink_to_fit();

    std::vector<uint32_t> used;
    used.reserve(m_records.size());
    for (const Record& record : m_records)
        used.push_back(record.value);
    std::sort(used.begin(), used.end());
    uint32_t invalid = 0;
    for (uint32_t value : used) {
        if (value == invalid)
            ++invalid;
        else if (value > invalid)
            break;
    }
    m_invalidValue = invalid;
}

const Record* Data::findInternal(uint32_t value) const
{
    for (const Record& record : m_records) {
        if (record.value == value)
            return &record;
    }
    return nullptr;
}

const Record* Data::findByName(const QString& name) const
{
    for (const Record& record : m_records) {
        if (record.name == name)
            return &record;
    }
    return nullptr;
}

bool Data::toCodeString(QString& out, uint32_t value) const
{
    if (const Record* record = findInternal(value)) {
        out = record->name;
        return true;
    }
    return false;
}

QString Data::toCodeStringDef(uint32_t value, const QString& def) const
{
    const Record* record = findInternal(value);
    return record ? record->name : def;
}

const QString& Data::toCodeStringOrNull(uint32_t value) const
{
    const Record* record = findInternal(value);
    return record ? record->name : Utils::GetDummyQString();
}

int Data::getIndexOf(uint32_t value) const
{
    for (size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].value == value)
            return int(i);
    }
    return -1;
}

bool Data::findTranslation(QString& out, uint32_t value) const
{
    if (const Record* record = findInternal(value)) {
        out = record->translation;
        return true;
    }
    return false;
}

const QString& Data::findTranslation(uint32_t value) const
{
    const Record* record = findInternal(value);
    return record ? record->translation : Utils::GetDummyQString();
}

uint32_t Data::getDefaultOrInvalid() const
{
    return m_hasDefault ? m_defaultValue : m_invalidValue;
}

uint32_t Data::at(int index) const
{
    if (index < 0 || size_t(index) >= m_records.size())
        return m_invalidValue;
    return m_records[size_t(index)].value;
}

QStringList Data::getTranslations() const
{
    QStringList translations;
    translations.reserve(qsizetype(m_records.size()));
    for (const Record& record : m_records)
        translations.append(record.translation.isNull() ? QString(QLatin1String("")) : record.translation);
    return translations;
}
