// Remembers which source writes into which output folder during one batch, so no two jobs share one.
#pragma once

#include <QHash>
#include <QString>

#include <optional>

class OutputFolderClaims
{
public:
    // Letter case counts as the file system that holds each folder says (FolderCase::Of).
    OutputFolderClaims() = default;
    // One rule for every folder.
    explicit OutputFolderClaims(Qt::CaseSensitivity folderCase) : mFolderCase(folderCase) {}

    // The source that already writes into the folder, or empty when the folder is free.
    QString Owner(const QString& folder) const;
    // Records that the source writes into the folder; a folder keeps its first owner.
    void Claim(const QString& folder, const QString& sourceFile);

private:
    QString Key(const QString& folder) const;

    std::optional<Qt::CaseSensitivity> mFolderCase;
    QHash<QString, QString> mOwners;
};
