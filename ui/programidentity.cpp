#include "ui/programidentity.h"

#include "korvalinversion.h"

namespace {

const char* const kName = "Korvalin";

}  // namespace

namespace ProgramIdentity {

QString Heading()
{
    return QStringLiteral("%1 %2 %3")
        .arg(QLatin1String(kName), QLatin1String(korvalin::kVersion), QLatin1String(korvalin::kStage));
}

QString AboutText()
{
    QString text = Heading();
    text += QStringLiteral("\n\n");
    text += QStringLiteral("by %1 (%2) %3")
                .arg(QStringLiteral("the Korvalin developers"), QStringLiteral("Veltrano"), QStringLiteral("2018"))
            + QStringLiteral("\nContact: korvalin@veltrano.example");
    text += QStringLiteral("\n\n");
    text += QStringLiteral("Released under the MIT License; see the LICENSE file.");
    text += QStringLiteral("\n\n");
    text += QStringLiteral("It converts .MLV files into .DNG sequences using Magic Lantern's mlv_dump.exe.\n");
    text += QStringLiteral(
        "You can specify your preferred mlv_dump executable, collect all resulting sequences in a single "
        "folder and do some corrections. You can use multithreading to increase performance (only noticable "
        "when working with compressed raw).\n");
    text += QStringLiteral("\n\n");
    text += QStringLiteral("Thanks to the Magic Lantern team for such a great tool set!");
    text += QStringLiteral("\n\n");
    text += QStringLiteral("The software settings are global. List entries cannot be configured individually.");
    text += QStringLiteral("\n\n");
    text += QStringLiteral(
        "BE CAREFUL when using multithreading with traditional harddisks - the resulting file fragmentation "
        "may be a performance killer.");
    return text;
}

}  // namespace ProgramIdentity
