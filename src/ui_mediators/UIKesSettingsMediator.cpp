#include "ui_mediators/UIKesSettingsMediator.h"

#include "core/GlobalLogger.h"
#include "core/Preferences.h"
#include "core/SafeFile.h"
#include "device_data/AncMode.h"
#include "device_models/KestrinDeviceModel.h"
#include "ui_models/UIKesEqBandsModel.h"
#include "utils/Utils.h"

#include <QFile>
#include <QFileInfo>
#include <QtQml/qqml.h>

#include <array>
#include <limits>

namespace UIMediators {

namespace {

// Seconds of the steps Minutes_5 .. Hours_6.
constexpr std::array<uint16_t, 10> c_time_seconds = {300, 600, 900, 1800, 2700, 3600, 5400, 7200, 14400, 21600};

// QML hands over ints; the device takes bytes. A value that does not fit is refused here rather
// than wrapped into some other, valid-looking level.
bool toByte(int value, uint8_t& out, const char* what)
{
    if (value < 0 || value > std::numeric_limits<uint8_t>::max()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Ignoring %s %d: out of range.", what, value);
        return false;
    }
    out = uint8_t(value);
    return true;
}

} // namespace

UIKesSettingsMediator::UIKesSettingsMediator(Preferences& preferences, DeviceModels::KestrinDeviceModel& model,
                                             QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_model(model)
    , m_eqBands(new UIModels::UIKesEqBandsModel(model, this))
    , m_names(new QStringListModel(QStringList(CustomEqCount, QString()), this))
    , m_hwType(Enumer<KestrinHwType>::Invalid())
{
    using Model = DeviceModels::KestrinDeviceModel;
    connect(&m_model, &Model::sigGameChatMixChanged, this, &UIKesSettingsMediator::gameChatMixChanged);
    connect(&m_model, &Model::sigNoiseReductionChanged, this, &UIKesSettingsMediator::micFilterChanged);
    connect(&m_model, &Model::sigVpLevelChanged, this, &UIKesSettingsMediator::vpLevelChanged);
    connect(&m_model, &Model::sigEarcupBalanceChanged, this, &UIKesSettingsMediator::balanceChanged);
    connect(&m_model, &Model::sigMicLevelChanged, this, &UIKesSettingsMediator::micLevelChanged);
    connect(&m_model, &Model::sigSidetoneLevelChanged, this, &UIKesSettingsMediator::sidetoneLevelChanged);
    connect(&m_model, &Model::sigSidetoneChanged, this, &UIKesSettingsMediator::sidetoneChanged);
    connect(&m_model, &Model::sigAncModeChanged, this, &UIKesSettingsMediator::ancIndexChanged);
    connect(&m_model, &Model::sigCurrentEqIndexChanged, this, &UIKesSettingsMediator::onEqIndexChanged);
    connect(&m_model, &Model::sigAmpGainChanged, this, &UIKesSettingsMediator::onAmpGainChanged);
    connect(&m_model, &Model::sigAutoPowerOffChanged, this, &UIKesSettingsMediator::onAutoPowerOffChanged);
    connect(&m_model, &Model::sigEqBandChanged, this, &UIKesSettingsMediator::onEqBandChanged);
    // A custom preset's bands come from the headset a moment after the preset is shown.
    connect(&m_model, &Model::sigEqBandsLoaded, this, [this](uchar eq_id) {
        if (eq_id == m_model.getCurrentEqIndex())
            m_eqBands->reset();
    });
}

QObject* UIKesSettingsMediator::getEqBandsModel() const
{
    return m_eqBands;
}

QStringList UIKesSettingsMediator::getAncModes() const
{
    return Enumer<DeviceData::AncMode>::Translations();
}

int UIKesSettingsMediator::getGameChatMix() const
{
    return m_model.getGameChatMix();
}

void UIKesSettingsMediator::setGameChatMix(int value)
{
    uint8_t v;
    if (toByte(value, v, "game/chat mix"))
        m_model.setGameChatMix(v);
}

int UIKesSettingsMediator::getVpLevel() const
{
    return m_model.getVpLevel();
}

void UIKesSettingsMediator::setVpLevel(int value)
{
    uint8_t v;
    if (toByte(value, v, "voice-prompt level"))
        m_model.setVpLevel(v);
}

int UIKesSettingsMediator::getBalance() const
{
    return m_model.getEarcupBalance();
}

void UIKesSettingsMediator::setBalance(int value)
{
    uint8_t v;
    if (toByte(value, v, "earcup balance"))
        m_model.setEarcupBalance(v);
}

int UIKesSettingsMediator::getEqIndex() const
{
    return m_model.getCurrentEqIndex();
}

void UIKesSettingsMediator::setEqIndex(int value)
{
    uint8_t v;
    if (toByte(value, v, "EQ index"))
        m_model.setCurrentEqIndex(v);
}

int UIKesSettingsMediator::getSidetoneLevel() const
{
    return m_model.getSidetoneLevel();
}

void UIKesSettingsMediator::setSidetoneLevel(int value)
{
    uint8_t v;
    if (toByte(value, v, "sidetone level"))
        m_model.setSidetoneLevel(v);
}

int UIKesSettingsMediator::getMaxSidetoneLevel() const
{
    return m_model.getMaxSidetoneLevel();
}

int UIKesSettingsMediator::getMicLevel() const
{
    return m_model.getMicLevel();
}

void UIKesSettingsMediator::setMicLevel(int value)
{
    uint8_t v;
    if (toByte(value, v, "microphone level"))
        m_model.setMicLevel(v);
}

int UIKesSettingsMediator::getMicFilter() const
{
    return m_model.getNoiseReduction();
}

void UIKesSettingsMediator::setMicFilter(int value)
{
    uint8_t v;
    if (toByte(value, v, "noise reduction"))
        m_model.setNoiseReduction(v);
}

int UIKesSettingsMediator::getAncIndex() const
{
    return int(Enumer<DeviceData::AncMode>::Values().indexOf(m_model.getAncMode()));
}

void UIKesSettingsMediator::setAncIndex(int index)
{
    const auto& modes = Enumer<DeviceData::AncMode>::Values();
    if (index < 0 || index >= modes.size()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Ignoring ANC index %d: out of range.", index);
        return;
    }
    m_model.setAncMode(modes.at(index));
}

bool UIKesSettingsMediator::getSidetone() const
{
    return m_model.isSidetoneOn();
}

void UIKesSettingsMediator::setSidetone(bool on)
{
    m_model.setSidetone(on);
}

void UIKesSettingsMediator::setVolumeLimiter(bool on)
{
    m_model.setAmpGain(on ? LimitedAmpGain : UnlimitedAmpGain);
}

void UIKesSettingsMediator::setShutdownTime(Time time)
{
    if (time == m_shutdownTime)
        return;
    if (int(time) < 0) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Ignoring auto power-off step %d.", int(time));
        return;
    }
    // The stored step follows through the model's sigAutoPowerOffChanged.
    m_model.setAutoPowerOff(TimeToSeconds(time));
}

UIKesSettingsMediator::Time UIKesSettingsMediator::SecondsToTime(uint16_t seconds)
{
    if (seconds == 0)
        return Never;
    for (size_t i = 0; i < c_time_seconds.size(); ++i) {
        if (seconds <= c_time_seconds[i])
            return Time(i);
    }
    return Hours_6;
}

uint16_t UIKesSettingsMediator::TimeToSeconds(Time time)
{
    const int i = int(time);
    return i >= 0 && size_t(i) < c_time_seconds.size() ? c_time_seconds[size_t(i)] : 0;
}

void UIKesSettingsMediator::onEqIndexChanged()
{
    m_eqBands->reset();
    emit eqIndexChanged();
}

void UIKesSettingsMediator::onAmpGainChanged()
{
    m_volumeLimiter = m_model.getAmpGain() < 137;
    emit volumeLimiterChanged();
}

void UIKesSettingsMediator::onAutoPowerOffChanged()
{
    const uint16_t seconds = m_model.getAutoPowerOff();
    if (m_shutdownTime != Never && seconds == TimeToSeconds(m_shutdownTime))
        return;
    if (seconds == 0 && m_shutdownTime == Never)
        return;
    m_shutdownTime = SecondsToTime(seconds);
    // A time between two steps (or above the last) is rounded up and written back, so the
    // headset does what the screen shows.
    m_model.setAutoPowerOff(TimeToSeconds(m_shutdownTime));
    emit shutdownTimeChanged();
}

void UIKesSettingsMediator::onEqBandChanged(uchar eq_id, size_t band)
{
    if (eq_id == m_model.getCurrentEqIndex())
        m_eqBands->updateBand(band);
}

QStringList UIKesSettingsMediator::names() const
{
    return m_names->stringList();
}

void UIKesSettingsMediator::onModelReady()
{
    m_deviceType = m_model.getDeviceType();
    m_hwType = m_model.getHwType();

    QStringList list;
    if (Enumer<KestrinHwType>::IsValid(m_hwType))
        list = m_preferences.readKestrinEqNames(m_deviceType, m_hwType);
    while (list.size() < CustomEqCount)
        list.append(QString());
    list = list.mid(0, CustomEqCount);
    // Row by row, and only the names that changed: a reset of the model would make the screen
    // rebuild every preset button on each start of the headset, under the user's pointer.
    for (int row = 0; row < CustomEqCount; ++row) {
        const QModelIndex index = m_names->index(row);
        if (index.data(Qt::EditRole).toString() != list.at(row))
            m_names->setData(index, list.at(row), Qt::EditRole);
    }

    emit gameChatMixChanged();
    emit micFilterChanged();
    emit vpLevelChanged();
    emit balanceChanged();
    emit maxSidetoneLevelChanged();
    emit sidetoneLevelChanged();
    emit sidetoneChanged();
    // A new device brings its own microphone level and ANC mode: without these two the
    // controls would keep showing the previous device's values.
    emit micLevelChanged();
    emit ancIndexChanged();
    m_eqBands->reset();
    emit eqIndexChanged();
    onAmpGainChanged();
    onAutoPowerOffChanged();
}

QString UIKesSettingsMediator::getCurrentEqName() const
{
    const int slot = int(m_model.getCurrentEqIndex()) - FirstCustomEqIndex;
    if (slot < 0 || slot >= CustomEqCount)
        return QString();
    return names().value(slot);
}

void UIKesSettingsMediator::setCustomEqName(int index, const QString& name)
{
    if (index < 0 || index >= CustomEqCount)
        return;
    m_names->setData(m_names->index(index), name, Qt::EditRole);
    // Names belong to a model and hardware family; a device without a family (the simulated
    // headset) has nowhere to keep them and would only leave a stray group in the file.
    if (Enumer<KestrinHwType>::IsValid(m_hwType))
        m_preferences.setKestrinEqNames(m_deviceType, m_hwType, names());
}

bool UIKesSettingsMediator::saveEqToFile(const QUrl& fileUrl, const QUrl& folderUrl)
{
    // Every saved preset carries the extension that loading looks for.
    const QString path =
        Utils::WithFileSuffix(Utils::LocalPathFromDialog(fileUrl, folderUrl), QStringLiteral(".lvreq"));
    if (path.isEmpty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot save the EQ to %s: not a local file.",
                                          qUtf8Printable(fileUrl.toString()));
        return false;
    }
    // Bands first: the user's file is not touched unless there is something to write.
    std::vector<DeviceData::KestrinEqBandParams> bands;
    if (!m_model.loadEqBands(bands) || bands.empty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot save the EQ: the current preset has no bands.");
        return false;
    }
    QByteArray bytes;
    bytes.reserve(int(bands.size()));
    for (const auto& band : bands)
        bytes.append(char(int8_t(band.getGain())));

    QString error;
    if (!WriteFileWhole(path, bytes, error)) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot save the EQ to %s: %s", qUtf8Printable(path),
                                          qUtf8Printable(error));
        return false;
    }
    return true;
}

bool UIKesSettingsMediator::loadEqFromFile(const QUrl& fileUrl)
{
    const QString path = fileUrl.toLocalFile();
    QFile file(path);
    // Only a plain file: a FIFO would keep the window waiting for a writer, a device never end.
    QString error = QStringLiteral("not a local file");
    if (path.isEmpty() || !OpenRegularFile(file, error)) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot open the EQ file %s: %s.",
                                          qUtf8Printable(fileUrl.toString()), qUtf8Printable(error));
        return false;
    }
    std::vector<DeviceData::KestrinEqBandParams> bands;
    if (!m_model.loadEqBands(bands) || bands.empty()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot load an EQ file: the current preset has no bands.");
        return false;
    }
    if (file.size() != qint64(bands.size())) {
        GlobalLogger::Instance()->message(QtWarningMsg, "The EQ file %s has %lld bytes, the preset %zu bands.",
                                          qUtf8Printable(path), qint64(file.size()), bands.size());
        return false;
    }
    const QByteArray bytes = file.read(qint64(bands.size()));
    if (bytes.size() != int(bands.size())) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot read the EQ file %s.", qUtf8Printable(path));
        return false;
    }
    std::vector<int> gains;
    gains.reserve(bands.size());
    for (const char byte : bytes) {
        // One two's-complement byte per band, read the same whether char is signed or not.
        const int raw = uint8_t(byte);
        const int gain = raw < 0x80 ? raw : raw - 0x100;
        if (gain < UIModels::UIKesEqBandsModel::MinGain || gain > UIModels::UIKesEqBandsModel::MaxGain) {
            GlobalLogger::Instance()->message(QtWarningMsg, "The EQ file %s holds a gain of %d dB.",
                                              qUtf8Printable(path), gain);
            return false;
        }
        gains.push_back(gain);
    }
    // Name the preset only once its gains are in: a refused file leaves everything as it was.
    if (!m_model.setEqBandsGains(gains))
        return false;
    const QString baseName = QFileInfo(path).fileName().section(QLatin1Char('.'), 0, 0);
    setCustomEqName(int(m_model.getCurrentEqIndex()) - FirstCustomEqIndex, baseName);
    return true;
}

void UIKesSettingsMediator::RegisterType()
{
    qmlRegisterUncreatableType<UIKesSettingsMediator>(
        "Velmor.Enums", 1, 0, "UIKesSettingsMediator",
        QStringLiteral("Error - class UIKesSettingsMediator uncreatable"));
}

} // namespace UIMediators
