#pragma once
// Everything the application uses of the database access layer.

#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/DbSettings.h"
#include "db/TField.h"
#include "db/TFieldType.h"
#include "db/TParam.h"
#include "db/TStringList.h"
#include "db/TmySQLBlobStream.h"
#include "db/TmySQLDataSet.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLQuery.h"
#include "db/Variant.h"
