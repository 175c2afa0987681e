#include "io/SupportedVidPids.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Platform {

const std::array<SupportedVidPids::KestrinProduct, 12>& SupportedVidPids::KestrinProducts()
{
    static const std::array<KestrinProduct, 12> products{{
        {0x4B1E, DeviceType::kestrin, KestrinHwType::xbox_headset, false},
        {0x4B1A, DeviceType::kestrin, KestrinHwType::ps_headset, false},
        {0x4B2E, DeviceType::kestrin_2, KestrinHwType::xbox_headset, false},
        {0x4B2A, DeviceType::kestrin_2, KestrinHwType::ps_headset, false},
        {0x4BAE, DeviceType::kestrin_2_anc, KestrinHwType::xbox_headset, false},
        {0x4BAA, DeviceType::kestrin_2_anc, KestrinHwType::ps_headset, false},
        {0x4B18, DeviceType::kestrin, KestrinHwType::xbox_dongle, true},
        {0x4B19, DeviceType::kestrin, KestrinHwType::ps_dongle, true},
        {0x4B28, DeviceType::kestrin_2, KestrinHwType::xbox_dongle, true},
        {0x4B29, DeviceType::kestrin_2, KestrinHwType::ps_dongle, true},
        {0x4BA8, DeviceType::kestrin_2_anc, KestrinHwType::xbox_dongle, true},
        {0x4BA9, DeviceType::kestrin_2_anc, KestrinHwType::ps_dongle, true},
    }};
    return products;
}

const SupportedVidPids::KestrinProduct* SupportedVidPids::FindKestrinProduct(uint16_t pid)
{
    for (const KestrinProduct& product : KestrinProducts()) {
        if (product.pid == pid)
            return &product;
    }
    return nullptr;
}

namespace {

bool ReadHexFile(const QString& path, uint32_t& value)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool ok = false;
    value = QString::fromLatin1(file.readAll().trimmed()).toUInt(&ok, 16);
    return ok;
}

} // namespace

bool SupportedVidPids::FindSolvarine(std::wstring* port)
{
    return FindSolvarineIn(QStringLiteral("/sys/class/tty"), port);
}

bool SupportedVidPids::FindSolvarineIn(const QString& ttyClassDir, std::wstring* port)
{
    const QDir ttys(ttyClassDir);
    const QStringList names = ttys.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : names) {
        const QFileInfo device(ttys.filePath(name + QStringLiteral("/device")));
        if (!device.exists())
            continue; // a virtual terminal, not a port of some device
        // The port's device is a USB interface; the ids sit on the USB device above it.
        QDir dir(device.canonicalFilePath());
        for (int depth = 0; depth < 4 && !dir.isRoot(); ++depth) {
            uint32_t vid = 0;
            uint32_t pid = 0;
            if (ReadHexFile(dir.filePath(QStringLiteral("idVendor")), vid) &&
                ReadHexFile(dir.filePath(QStringLiteral("idProduct")), pid)) {
                if (VidPid{vid, pid} == SolvarineVidPid) {
                    if (port)
                        *port = (QStringLiteral("/dev/") + name).toStdWString();
                    return true;
                }
                break;
            }
            if (!dir.cdUp())
                break;
        }
    }
    return false;
}

} // namespace Platform
