// Errors of the table layer: its own failures (EApolloError) and the
// failures of the dataset rules (EDatabaseError, "component: message").
#pragma once

#include "store/app_error.h"

// What kind of failure the table engine reported: damaged file, file or row
// held by another program, missing file, refused read or write, bad
// expression. Windows may act on the kind; the user reads the message.
enum class EngineFailure { None, Corrupt, Locked, NotFound, InputOutput, Expression, Other };

class EApolloError : public AppError {
public:
    explicit EApolloError(const QString& message, EngineFailure kind = EngineFailure::None)
        : AppError(message), kind_(kind) {}
    EngineFailure kind() const { return kind_; }

private:
    EngineFailure kind_;
};

class EDatabaseError : public AppError {
public:
    using AppError::AppError;
};

// Texts of the layer, as the user reads them ("\r" is the line break the
// message boxes show).
namespace ApolloText {
inline const QString kUnableToLoad = QStringLiteral("APOLLO: Unable to load required SDE50.DLL");
inline const QString kMissingTableName = QStringLiteral("Missing TableName property");
inline const QString kTableDoesNotExist =
    QStringLiteral("Table does not exist.\rFile or directory does not exist.\rFile: ");
inline const QString kUnableToOpen = QStringLiteral("Unable to open table.\rFile: ");
inline const QString kMemoMissing = QStringLiteral("Associated MEMO file does not exist.\rFile: ");
inline const QString kIndexDoesNotExist = QStringLiteral("Index file does not exist.\rFile: ");
inline const QString kIndexNotOpen = QStringLiteral("Index file is not open.\rFile: ");
inline const QString kMissingIndexFile =
    QStringLiteral("Missing Parameter to Index Method: Index File Name");
inline const QString kMissingIndexKey =
    QStringLiteral("Missing Parameter to Index or IndexTag Method: Index Expression");
inline const QString kInvalidQuery = QStringLiteral("Invalid Query Expression");
inline const QString kOpenTable = QStringLiteral("Cannot perform this operation on an open table");
inline const QString kZapExclusive =
    QStringLiteral("Table must be opened in Exclusive mode to perform this operation");
inline const QString kReadOnly = QStringLiteral("Cannot modify a read-only data set");
inline const QString kEmptyTable = QStringLiteral("Cannot perform this operation on an empty table");
inline const QString kLockFailure =
    QStringLiteral("Record Lock Failure. May be locked by another user or task.");
inline const QString kOutOfBounds = QStringLiteral("Translate error. Value out of bounds");

inline const QString kFieldNotFound = QStringLiteral("Champ '%1' non trouvé");
inline const QString kFieldType =
    QStringLiteral("Type inadéquat pour le champ '%1', attendu : %2 actuel : %3");
inline const QString kFieldSize =
    QStringLiteral("Taille inadéquate pour le champ '%1', attendu : %2 actuel : %3");
inline const QString kNotEditing =
    QStringLiteral("L'ensemble de données n'est pas en mode Edition ou Insertion");
inline const QString kClosed =
    QStringLiteral("Impossible d'effectuer cette opération sur un ensemble de données fermé");
}  // namespace ApolloText
