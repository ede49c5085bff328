#include "recipients/RecipientStore.h"

#include "core/RecipientFields.h"

namespace {

const QString kEmailsWhereGroup = QStringLiteral("SELECT * FROM [Emails] WHERE (([G-ID] = '");

// The rows of a group with this address (letter case and trailing blanks ignored).
QString sameAddressSql(qint32 groupId, const QString& email, bool blankAfterId) {
    return kEmailsWhereGroup + QString::number(groupId) +
           (blankAfterId ? QStringLiteral(" ')") : QStringLiteral("')")) +
           QStringLiteral(" AND ([G-Email] = '") + SqlQuote(email) + QStringLiteral("'))");
}

RecipientValues readValues(const Recordset& rs) {
    RecipientValues values;
    for (size_t i = 0; i < RecipientFields.size(); ++i)
        values[i] = rs.Field(QLatin1String(RecipientFields[i].column));
    return values;
}

StoreResult writeResult(qint32 touched) {
    if (touched < 0)
        return StoreResult::Failed;
    return touched == 0 ? StoreResult::NotFound : StoreResult::Done;
}

// A character with a different other-case form.
bool hasCaseForms(char32_t c) {
    return QChar::toLower(c) != c || QChar::toUpper(c) != c;
}

// The forms of one character that a case-blind match accepts: "eÉ" for "é", the character alone when
// it has no other case.
QString caseForms(char32_t c) {
    QString forms = QString::fromUcs4(&c, 1);
    if (!hasCaseForms(c))
        return forms;
    for (char32_t f : {QChar::toLower(c), QChar::toUpper(c), QChar::toTitleCase(c)}) {
        const QString text = QString::fromUcs4(&f, 1);
        if (!forms.contains(text))
            forms += text;
    }
    return forms;
}

// The inside of a character list of the term ("a-c", "xyz") as GLOB writes it, letter case ignored.
QString globList(const std::u32string& chars) {
    QString inner;
    for (size_t i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        if (i + 2 < chars.size() && chars[i + 1] == U'-') {
            const char32_t hi = chars[i + 2];
            inner += QString::fromUcs4(&c, 1) + QLatin1Char('-') + QString::fromUcs4(&hi, 1);
            // The same range in the other case ("a-c" also "A-C").
            for (const bool upper : {true, false}) {
                const char32_t lo2 = upper ? QChar::toUpper(c) : QChar::toLower(c);
                const char32_t hi2 = upper ? QChar::toUpper(hi) : QChar::toLower(hi);
                if (lo2 != c && hi2 != hi)
                    inner += QString::fromUcs4(&lo2, 1) + QLatin1Char('-') + QString::fromUcs4(&hi2, 1);
            }
            i += 2;
        } else {
            inner += caseForms(c);
        }
    }
    // A leading "^" would make the GLOB list a negation.
    if (inner.size() > 1 && inner.startsWith(QLatin1Char('^')))
        inner = inner.mid(1) + QLatin1Char('^');
    return inner;
}

// LIKE ignores letter case only for ASCII and knows no character lists. A term with other cased letters
// or with a list ("[a-c]", "[!a-c]") is matched with GLOB: each cased letter becomes a list of its forms
// ("[éÉ]"), "%" and "_" become "*" and "?", GLOB's own "*" and "?" are bracketed so they match
// themselves. False when a list is not closed (such a term finds nothing).
bool globPattern(const QString& term, bool anyBefore, bool anyAfter, QString* pattern) {
    const std::u32string chars(term.toStdU32String());
    QString out;
    if (anyBefore)
        out += QLatin1Char('*');
    for (size_t i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        if (c == U'[') {
            const size_t close = chars.find(U']', i + 1);
            if (close == std::u32string::npos)
                return false;
            std::u32string list = chars.substr(i + 1, close - i - 1);
            const bool negated = list.size() > 1 && list.front() == U'!';
            if (negated)
                list.erase(0, 1);
            if (!list.empty())
                out += QLatin1Char('[') + (negated ? QStringLiteral("^") : QString()) + globList(list) +
                       QLatin1Char(']');
            i = close;
        } else if (c == U'%') {
            out += QLatin1Char('*');
        } else if (c == U'_') {
            out += QLatin1Char('?');
        } else if (c == U'*' || c == U'?') {
            out += QLatin1Char('[') + QString::fromUcs4(&c, 1) + QLatin1Char(']');
        } else if (hasCaseForms(c)) {
            out += QLatin1Char('[') + caseForms(c) + QLatin1Char(']');
        } else {
            out += QString::fromUcs4(&c, 1);
        }
    }
    if (anyAfter)
        out += QLatin1Char('*');
    *pattern = out;
    return true;
}

// "%" and "_" in the term stay wildcards, as the user may mean them.
QString likePattern(const QString& term, bool anyBefore, bool anyAfter) {
    return (anyBefore ? QStringLiteral("%") : QString()) + term +
           (anyAfter ? QStringLiteral("%") : QString());
}

bool needsGlob(const QString& term) {
    if (term.contains(QLatin1Char('[')))
        return true;
    for (char32_t c : term.toUcs4())
        if (c > 0x7f && hasCaseForms(c))
            return true;
    return false;
}

} // namespace

// ---- Groups

bool IsGroupNameCharacter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == ' ' || u == '-';
}

QString FilterGroupName(const QString& name) {
    QString kept;
    for (QChar c : name)
        if (IsGroupNameCharacter(c))
            kept += c;
    return kept;
}

bool GroupNameTaken(const QString& name, const QStringList& names) {
    const QString lower = name.toLower();
    for (const QString& item : names)
        if (item.toLower() == lower)
            return true;
    return false;
}

StoreResult CreateGroup(const QString& name) {
    Connection connection;
    if (!connection.Open())
        return StoreResult::Failed;
    // The lists may be older than the file: the store decides whether the name is free.
    if (GroupByName(connection, name).id != 0)
        return StoreResult::Duplicate;
    const qint32 touched =
        connection.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('") +
                                SqlQuote(name) + QStringLiteral("')"));
    return touched == 1 ? StoreResult::Done : StoreResult::Failed;
}

StoreResult RenameGroup(const QString& oldName, const QString& newName) {
    Connection connection;
    if (!connection.Open())
        return StoreResult::Failed;
    const qint32 other = GroupByName(connection, newName).id;
    if (other != 0 && other != GroupByName(connection, oldName).id)
        return StoreResult::Duplicate;
    return writeResult(connection.ExecuteWrite(QStringLiteral("Update [Groups] Set [GroupName] = '") +
                                               SqlQuote(newName) + QStringLiteral("' Where [GroupName] = '") +
                                               SqlQuote(oldName) + QStringLiteral("'")));
}

StoreResult DeleteGroup(const QString& name) {
    Connection connection;
    if (!connection.Open() || !connection.BeginTransaction())
        return StoreResult::Failed;
    const qint32 id = GroupByName(connection, name).id;
    const qint32 groups = connection.ExecuteWrite(
        QStringLiteral("DELETE from [Groups] Where [GroupName] = '") + SqlQuote(name) + QStringLiteral("'"));
    if (groups <= 0 || id == 0) {
        connection.Rollback();
        return groups < 0 ? StoreResult::Failed : StoreResult::NotFound;
    }
    const qint32 recipients = connection.ExecuteWrite(
        QStringLiteral("DELETE from [Emails] Where [G-ID] = '") + QString::number(id) + QStringLiteral("'"));
    if (recipients < 0 || !connection.Commit()) {
        connection.Rollback();
        return StoreResult::Failed;
    }
    return StoreResult::Done;
}

// ---- Recipients

StoreResult AddRecipient(const QString& groupName, const RecipientValues& values) {
    Connection connection;
    if (!connection.Open())
        return StoreResult::Failed;
    const qint32 id = GroupByName(connection, groupName).id;
    if (id == 0)
        return StoreResult::NotFound;
    Recordset same = connection.Execute(sameAddressSql(id, values[0], true));
    if (same.Failed())
        return StoreResult::Failed;
    if (!same.Eof())
        return StoreResult::Duplicate;
    same.Close();

    QString sql = QStringLiteral(
        "INSERT INTO [Emails] ([G-ID] , [G-Email] , [G-Title], [G-FirstName], [G-LastName], [G-Country], "
        "[G-State], [G-City], [G-Address1], [G-Address2], [G-ZIPCode], [G-Phone], [G-Fax], [G-Company], "
        "[G-JobTitle], [G-WebSite], [G-IP], [G-Date], [G-Add] ) VALUES ( ");
    sql += QString::number(id) + QStringLiteral(" , '") + SqlQuote(values[0]);
    for (size_t i = 1; i < values.size(); ++i)
        sql += QStringLiteral("' , '") + SqlQuote(values[i]);
    sql += QStringLiteral("') ");
    return connection.ExecuteWrite(sql) == 1 ? StoreResult::Done : StoreResult::Failed;
}

StoredRecipient ReadRecipient(const QString& groupName, const QString& email) {
    StoredRecipient found;
    Connection connection;
    if (!connection.Open())
        return found;
    found.groupId = GroupByName(connection, groupName).id;
    if (found.groupId == 0)
        return found;
    Recordset rs = connection.Execute(sameAddressSql(found.groupId, email, false));
    qint32 recordId = 0;
    if (rs.FieldInt(QStringLiteral("ID"), &recordId)) {
        found.recordId = recordId;
        found.values = readValues(rs);
    }
    return found;
}

StoreResult ModifyRecipient(qint32 groupId, qint32 recordId, const RecipientValues& values) {
    if (groupId == 0 || recordId == 0)
        return StoreResult::NotFound;
    Connection connection;
    if (!connection.Open())
        return StoreResult::Failed;
    Recordset same = connection.Execute(sameAddressSql(groupId, values[0], false));
    if (same.Failed())
        return StoreResult::Failed;
    // Any other row of the group with this address makes it a duplicate, not only the first one found.
    for (; !same.Eof(); same.MoveNext()) {
        qint32 id = 0;
        if (!same.FieldInt(QStringLiteral("ID"), &id) || id != recordId)
            return StoreResult::Duplicate;
    }
    if (same.Failed())
        return StoreResult::Failed;
    same.Close();

    static const char* const kSetters[] = {"UPDATE [Emails] SET [G-Email] = '",
                                           "' , [G-Title] = '",
                                           "', [G-FirstName] = '",
                                           "', [G-LastName] = '",
                                           "', [G-Country] = '",
                                           "', [G-State] = '",
                                           "', [G-City] = '",
                                           "', [G-Address1] = '",
                                           "', [G-Address2] = '",
                                           "', [G-ZIPCode] = '",
                                           "', [G-Phone] = '",
                                           "', [G-Fax] = '",
                                           "', [G-Company] = '",
                                           "', [G-JobTitle] = '",
                                           "', [G-WebSite] = '",
                                           "', [G-IP] = '",
                                           "', [G-Date] = '",
                                           "', [G-Add] = '"};
    QString sql;
    for (size_t i = 0; i < values.size(); ++i)
        sql += QLatin1String(kSetters[i]) + SqlQuote(values[i]);
    sql += QStringLiteral("' WHERE ([ID]=") + QString::number(recordId) + QStringLiteral(")");
    return writeResult(connection.ExecuteWrite(sql));
}

StoreResult DeleteRecipient(const QString& groupName, const QString& email) {
    Connection connection;
    if (!connection.Open())
        return StoreResult::Failed;
    const qint32 groupId = GroupByName(connection, groupName).id;
    Recordset rs = connection.Execute(sameAddressSql(groupId, email, false));
    qint32 recordId = 0;
    const bool found = rs.FieldInt(QStringLiteral("ID"), &recordId);
    const bool failed = rs.Failed();
    rs.Close();
    if (!found)
        return failed ? StoreResult::Failed : StoreResult::NotFound;
    return writeResult(connection.ExecuteWrite(QStringLiteral("DELETE FROM [Emails] WHERE ([ID]=") +
                                               QString::number(recordId) + QStringLiteral(")")));
}

// ---- Search

QStringList SearchFieldLabels() {
    QStringList labels{QStringLiteral("Email")};
    for (size_t i = 1; i < RecipientFields.size(); ++i)
        labels << QLatin1String(RecipientFields[i].label);
    return labels;
}

QStringList SearchCompareLabels() {
    return {QStringLiteral("Equals"), QStringLiteral("Contains"), QStringLiteral("Starts with"),
            QStringLiteral("Ends with")};
}

QString SearchCondition(const QString& fieldLabel, const QString& compareLabel, const QString& term) {
    const QString column = fieldLabel == QLatin1String("Email")           ? QStringLiteral("G-Email")
                           : fieldLabel == QLatin1String("Email Address") ? QString()
                                                                          : ColumnForLabel(fieldLabel);
    if (column.isEmpty())
        return QString();
    const QString col = QStringLiteral("([") + column + QStringLiteral("] ");
    if (compareLabel == QLatin1String("Equals"))
        return col + QStringLiteral("= '") + SqlQuote(term) + QStringLiteral("')");
    bool before = false;
    bool after = false;
    if (compareLabel == QLatin1String("Contains"))
        before = after = true;
    else if (compareLabel == QLatin1String("Starts with"))
        after = true;
    else if (compareLabel == QLatin1String("Ends with"))
        before = true;
    else
        return QString();
    if (needsGlob(term)) {
        QString pattern;
        if (!globPattern(term, before, after, &pattern))
            return QString();
        return col + QStringLiteral("GLOB '") + SqlQuote(pattern) + QStringLiteral("')");
    }
    return col + QStringLiteral("Like '") + SqlQuote(likePattern(term, before, after)) + QStringLiteral("')");
}

QString IncompleteListText(qint32 shown, const QString& readError) {
    return QStringLiteral("The recipient database could not be read to the end: %1.\n\nThis list is "
                          "incomplete: it shows only the %2 recipients read before that.")
        .arg(readError)
        .arg(shown);
}

QString SearchRecipients(const QString& groupName, const QString& fieldLabel, const QString& compareLabel,
                         const QString& term, const RecipientRowSink& take) {
    const QString condition = SearchCondition(fieldLabel, compareLabel, term);
    if (condition.isEmpty())
        return QString();
    Connection connection;
    if (!connection.Open())
        return QString();
    const qint32 id = GroupByName(connection, groupName).id;
    if (id == 0)
        return QString();
    // Only the three shown columns, read by position, as the group load reads them; hits come in the
    // order the recipients were added, whichever index the database uses to find them.
    Recordset rs = connection.Execute(
        QStringLiteral("SELECT [G-FirstName], [G-LastName], [G-Email] From [Emails] WHERE (([G-ID] = '") +
        QString::number(id) + QStringLiteral("') AND ") + condition + QStringLiteral(") ORDER BY [ID]"));
    for (; !rs.Eof(); rs.MoveNext())
        take(rs.FieldUtf8(0), rs.FieldUtf8(1), rs.FieldUtf8(2));
    return rs.Error();
}

// ---- Loading a group

bool GroupLoader::Start(const QString& groupName) {
    Finish();
    m_expected = 0;
    m_rows = Recordset();
    m_readError.clear();
    if (!m_connection.Open())
        return false;
    const GroupRecord group = GroupByName(m_connection, groupName);
    if (group.id == 0) {
        m_readError = group.error;
        return false;
    }
    const qint32 id = group.id;
    // Only a clause of column names is run; any other stored text is ignored (and logged).
    const QString sortSql = SortClause(group.sortSql);
    // The rows CountGroupRecipients walks, counted by the database on this connection.
    Recordset all =
        m_connection.Execute(QStringLiteral("SELECT count(*) AS [N] FROM [Emails] WHERE ([G-ID] = '") +
                             QString::number(id) + QStringLiteral(" ')"));
    all.FieldInt(QStringLiteral("N"), &m_expected);
    all.Close();
    // Without an order of the group's own, rows come in the order they were added.
    m_rows = m_connection.Execute(
        QStringLiteral("SELECT [G-Email], [G-FirstName], [G-LastName] FROM [Emails] WHERE ([G-ID] = '") +
        QString::number(id) + QStringLiteral(" ')") + QStringLiteral(" ORDER BY ") +
        (sortSql.isEmpty() ? QStringLiteral("[ID]") : sortSql));
    return !m_rows.Failed();
}

bool GroupLoader::Read(int maxRows, const RowSink& take) {
    // Columns by position, in the order of the statement above: no name look-up or QString per field.
    for (int n = 0; n < maxRows && !m_rows.Eof(); ++n) {
        take(m_rows.FieldUtf8(1), m_rows.FieldUtf8(2), m_rows.FieldUtf8(0));
        m_rows.MoveNext();
    }
    return !m_rows.Eof();
}

void GroupLoader::Finish() {
    m_rows.Close();
    m_connection.Close();
}
