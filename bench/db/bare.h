#pragma once
// Pieces shared by the access-layer and repair benchmarks: a herd on a private test server, the
// bare FreeTDS db-lib calls the access layer is measured against, timers and process memory.

#include "tdsserver.h"

#include <sybdb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rimo::bench {

double now();        // seconds, monotonic
double cpuSeconds(); // user + system time of this process
double median(std::vector<double> values);

// Resident memory of this process, in bytes; the peak can be reset to the current size.
struct ProcessMemory
{
    std::int64_t resident = 0;
    std::int64_t peak = 0;
};
ProcessMemory processMemory();
void resetPeakMemory();

// A test server whose database `herd` was written by herdgen with `rows` FirstRec rows.
std::unique_ptr<testsupport::TdsServer> startHerdServer(long rows);

// A plain db-lib connection as "sa" to `database`; exits the process when it cannot connect.
DBPROCESS* bareConnect(const testsupport::TdsServer& server, const char* database);
// The same to a server given by "host:port" and the password of "sa".
DBPROCESS* bareConnectTo(const std::string& serverSpec, const std::string& password, const char* database);

// Sends one batch and reads every result; false when a statement failed.
bool bareBatch(DBPROCESS* proc, const char* sql);

// One sp_executesql RPC in the form the access layer sends: @stmt and @params as nvarchar (231)
// from UTF-8 bytes, then @P1.. as bigint values and, last, an int key.
struct BareUpdate
{
    std::string statement;    // UTF-8
    std::string declarations; // UTF-8
};
bool bareRpcUpdate(DBPROCESS* proc, const BareUpdate& update, const std::int64_t* values, int valueCount,
                   std::int32_t key);

// Runs a query returning one integer (or NULL as 0) in the first column of the first row.
std::int64_t bareScalar(DBPROCESS* proc, const char* sql);

} // namespace rimo::bench
