#include "import_invariant.h"

#include "model/config_file.h"

QString check_import_invariant(const QByteArray &document)
{
    // A controller's block that no import writes by chance: every byte
    // differs from its neighbours, and several fields are out of range.
    ConfigBlock before;
    for (int i = 0; i < ConfigBlock::SIZE; ++i)
        before.bytes[i] = static_cast<unsigned char>(0xA5 ^ (i * 29));

    ConfigBlock block = before;
    QString error;
    if (!config_from_json(document, &block, &error)) {
        if (block.bytes != before.bytes)
            return QStringLiteral("a rejected document changed the block");
        return error.isEmpty() ? QStringLiteral("a rejected document gave no reason") : QString();
    }
    if (!std::equal(before.bytes.begin(), before.bytes.begin() + ConfigBlock::STATUS_SIZE, block.bytes.begin()))
        return QStringLiteral("an accepted document changed bytes 0..4");
    // The export of what was accepted must pass the same checks, so every
    // field is in range, and read back to the very same bytes.
    ConfigBlock reread = before;
    if (!config_from_json(config_to_json(block, supported_controller()), &reread, &error))
        return QStringLiteral("an accepted document set a field out of range: ") + error;
    if (reread.bytes != block.bytes)
        return QStringLiteral("the export of an accepted document reads back differently");
    return QString();
}
