#pragma once
// The statement object: SQL text as lines, named parameters (":name") rendered into the text,
// opened as a statement that returns rows or executed as one that does not.

#include <cstdint>
#include <memory>
#include <string>

#include "db/TParam.h"
#include "db/TStringList.h"
#include "db/TmySQLDataSet.h"

class TNativeDataSet;

class TmySQLQuery : public TmySQLDataSet {
public:
    explicit TmySQLQuery(std::string name = {});
    ~TmySQLQuery() override;

    // The statement lines; every change closes the query, drops the prepared statement and
    // (with ParamCheck) rebuilds Params, keeping values of parameters of the same name.
    TStringList& SQL() { return m_sql; }
    const TStringList& SQL() const { return m_sql; }
    void SetSQL(const std::string& text) { m_sql.SetText(text); }

    // Loads a query placed on a form: its text and its stored parameter list. The text is
    // cleaned and scanned without creating parameters; the list is taken as given.
    void LoadFromForm(const std::string& text, const TParams& paramData);

    TParams& Params() { return m_params; }
    const TParams& Params() const { return m_params; }
    TParam& ParamByName(const std::string& name) { return m_params.ParamByName(name); }
    TParam& ParamNamed(const std::string& name) { return m_params.ParamByName(name); }
    int ParamCount() const { return m_params.Count(); }

    bool ParamCheck() const { return m_paramCheck; }
    void SetParamCheck(bool on) { m_paramCheck = on; }
    bool RequestLive() const { return m_requestLive; }
    void SetRequestLive(bool on) { m_requestLive = on; }
    bool UniDirectional() const { return m_uniDirectional; }
    void SetUniDirectional(bool on) { m_uniDirectional = on; }
    // Master dataset whose fields fill parameters that were never assigned.
    TmySQLDataSet* DataSource() const { return m_dataSource; }
    void SetDataSource(TmySQLDataSet* master) { m_dataSource = master; }

    // Runs a statement that returns no rows.
    void Execute();
    void ExecSQL() { Execute(); }

    void Prepare();
    void UnPrepare();
    bool Prepared() const { return m_native != nullptr; }
    // The statement text after comment cleaning and with each marker replaced by "?".
    const std::string& PreparedText() const { return m_preparedText; }
    // The text last sent (or to be sent) by the prepared statement.
    std::string StatementText() const;
    // The text Execute would send now: the cleaned statement, or with parameters the
    // statement with their values put in; for running it in a batch.
    std::string TextToRun() const;

    // Affected rows of the last execution of the prepared statement, -1 until known.
    int64_t AffectedRowCount() const { return m_affectedRows; }
    int64_t RowsAffected() const { return m_affectedRows; }
    uint64_t InsertId() const { return m_insertId; }

    void connectionClosing() override;

protected:
    void openCursor() override;

private:
    void sqlChanged();
    void prepareStatement(bool forOpen);
    void fillFromMaster();

    TStringList m_sql;
    TParams m_params;
    std::string m_preparedText;
    bool m_paramCheck = true;
    bool m_loading = false;
    bool m_requestLive = false;
    bool m_uniDirectional = false;
    TmySQLDataSet* m_dataSource = nullptr;
    std::unique_ptr<TNativeDataSet> m_native;
    int64_t m_affectedRows = -1;
    uint64_t m_insertId = 0;
};
