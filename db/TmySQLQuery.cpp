#include "db/TmySQLQuery.h"

#include "db/DbInternal.h"
#include "db/SqlText.h"
#include "db/TNativeConnect.h"
#include "db/TNativeDataSet.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLEngine.h"

TmySQLQuery::TmySQLQuery(std::string name) : TmySQLDataSet(std::move(name)), m_params(this)
{
    m_sql.OnChange = [this] { sqlChanged(); };
}

TmySQLQuery::~TmySQLQuery()
{
    try {
        Close();
        UnPrepare();
    } catch (...) {
        // A destructor does not throw; the statement and result are freed below regardless.
    }
    m_cursor = nullptr;
    m_native.reset();
    if (m_database) {
        if (m_dbFlags != 0) {
            m_dbFlags = 0;
            try {
                m_database->UnregisterClient(this);
            } catch (...) {
            }
        }
    }
}

void TmySQLQuery::LoadFromForm(const std::string& text, const TParams& paramData)
{
    m_loading = true;
    try {
        m_sql.SetText(text);
    } catch (...) {
        m_loading = false;
        throw;
    }
    m_loading = false;
    m_params = paramData;
    m_params.SetOwner(this);
}

void TmySQLQuery::sqlChanged()
{
    if (m_loading) {
        m_preparedText = ScanParams(CleanComments(m_sql.Text()), nullptr);
        return;
    }
    Close();
    UnPrepare();
    if (!m_paramCheck) {
        m_preparedText = m_sql.Text();
        return;
    }
    TParams created(this);
    m_preparedText = ScanParams(CleanComments(m_sql.Text()), &created);
    for (int i = 0; i < m_params.Count(); ++i) {
        const TParam& old = m_params[i];
        if (TParam* p = created.FindParam(old.Name())) p->AssignFrom(old);
    }
    m_params = std::move(created);
    m_params.SetOwner(this);
}

void TmySQLQuery::prepareStatement(bool forOpen)
{
    if (m_native) return;
    m_affectedRows = -1;
    if (m_preparedText.size() < 2) databaseError("No SQL statement available");
    setDbFlag(dbPrepared, true);
    try {
        TmySQLEngine& engine = m_database->Engine();
        engine.Run([&] {
            TNativeConnect* connection = m_database->NativeConnection();
            if (!connection) throw EmySQLException(EngineCode::InvalidHandle);
            m_native = std::make_unique<TNativeDataSet>(*connection, forOpen && m_requestLive);
            m_native->Text = m_preparedText;
            engine.LastObject = m_native.get();
        });
    } catch (...) {
        setDbFlag(dbPrepared, false);
        throw;
    }
    dbTrace(TraceOp::Prepare, m_preparedText);
}

void TmySQLQuery::Prepare()
{
    if (!m_database) throw EDatabaseError("(" + m_name + ") property Database is not set!");
    if (m_sql.Count() == 0) databaseError("No SQL statement available");
    prepareStatement(true);
}

void TmySQLQuery::UnPrepare()
{
    if (!m_native) return;
    Close();
    m_cursor = nullptr;
    m_native.reset();
    setDbFlag(dbPrepared, false);
}

void TmySQLQuery::connectionClosing()
{
    TmySQLDataSet::connectionClosing();
    m_cursor = nullptr;
    m_native.reset();
}

std::string TmySQLQuery::StatementText() const { return m_native ? m_native->Text : std::string(); }

std::string TmySQLQuery::TextToRun() const
{
    return m_params.IsEmpty() ? m_preparedText : SubstituteParams(m_sql.Text(), m_params);
}

void TmySQLQuery::fillFromMaster()
{
    if (!m_dataSource || !m_dataSource->Active()) return;
    for (int i = 0; i < m_params.Count(); ++i) {
        TParam& p = m_params[i];
        if (p.Bound()) continue;
        TField& field = m_dataSource->FieldByName(p.Name());
        p.SetDataType(field.DataType());
        p.SetValue(field.Value());
        p.SetBound(false);
    }
}

void TmySQLQuery::openCursor()
{
    if (!m_database) throw EDatabaseError("(" + m_name + ") property Database is not set!");
    if (m_sql.Count() == 0) databaseError("No SQL statement available");
    prepareStatement(true);
    setDbFlag(dbOpen, true);
    fillFromMaster();
    if (!m_params.IsEmpty()) m_native->Text = SubstituteParams(m_sql.Text(), m_params);

    bool hasResult = false;
    TmySQLEngine& engine = m_database->Engine();
    engine.Run([&] {
        engine.LastObject = m_native.get();
        hasResult = m_native->Execute(true);
        if (hasResult) m_native->DescribeFields();
    });
    m_affectedRows = static_cast<int64_t>(m_native->AffectedRows());
    m_insertId = m_native->InsertId();
    if (!hasResult) throw ENoResultSet("Error creating cursor handle");
    bindFields(*m_native);
}

void TmySQLQuery::Execute()
{
    if (m_active) databaseError("Cannot perform this operation on an open dataset");
    if (!m_database) throw EDatabaseError("Property Database not set!");
    if (m_sql.Count() == 0) databaseError("No SQL statement available");
    setDbFlag(dbExec, true);
    try {
        prepareStatement(false);
        fillFromMaster();
        if (!m_params.IsEmpty()) m_native->Text = SubstituteParams(m_sql.Text(), m_params);
        TmySQLEngine& engine = m_database->Engine();
        engine.Run([&] {
            engine.LastObject = m_native.get();
            m_native->Execute(false);
        });
        m_affectedRows = static_cast<int64_t>(m_native->AffectedRows());
        m_insertId = m_native->InsertId();
        m_native->FreeResult();
        m_native->Text.clear();
    } catch (...) {
        setDbFlag(dbExec, false);
        throw;
    }
    setDbFlag(dbExec, false);
}
