#pragma once
// Everything the application uses of the database access layer.

#include "DateTimeUtil.h"
#include "DbErrors.h"
#include "DbSettings.h"
#include "TField.h"
#include "TFieldType.h"
#include "TParam.h"
#include "TStringList.h"
#include "TmySQLBlobStream.h"
#include "TmySQLDataSet.h"
#include "TmySQLDatabase.h"
#include "TmySQLQuery.h"
#include "Variant.h"
