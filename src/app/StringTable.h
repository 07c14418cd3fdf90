// User-visible texts of the program, addressed by their numbers.
#pragma once

#include <string>

namespace tarnwick {

enum StringId : unsigned {
  IDS_VERSION_TEXT = 61446,
  IDS_SOCKETS_INIT_FAILED = 61459,
  IDS_AGENT_NAME = 61463,
  IDS_BACKUP_START = 61482,
  IDS_KW_BACKUPSTART = 61483,
  IDS_KW_UNKNOWN_ACTION = 61484,
  IDS_BACKUP_END = 61485,
  IDS_KW_BACKUPEND = 61486,
  IDS_KW_BACKUPFILE = 61488,
  IDS_LEVEL_STORE = 61491,
  IDS_LEVEL_FASTEST = 61492,
  IDS_LEVEL_FAST = 61493,
  IDS_LEVEL_NORMAL = 61494,
  IDS_LEVEL_GOOD = 61495,
  IDS_LEVEL_BEST = 61496,
  IDS_ENTER_PROFILE_NAME = 61498,
  IDS_KW_ERROR = 61500,
  IDS_KW_COMPRESSFILE = 61501,
  IDS_PROFILE_EXISTS_OVERWRITE = 61510,
  IDS_KW_CONNECTFAILED = 61512,
  IDS_FAILED_TO_CONNECT = 61513,
  IDS_KW_CONNECTED = 61514,
  IDS_SOCKET_CONNECTED = 61515,
  IDS_KW_CONNECTING = 61517,
  IDS_KW_LOGGINGIN = 61519,
  IDS_USER_LOGIN_OK = 61520,
  IDS_KW_LOGINOK = 61521,
  IDS_LOGIN_FAILED = 61522,
  IDS_KW_LOGINFAILED = 61523,
  IDS_CONFIRM_DELETE_ONE = 61524,
  IDS_CONFIRM_DELETE_MANY = 61525,
  IDS_DELETE_FAILED = 61526,
  IDS_RENAME_FAILED = 61527,
  IDS_ANOTHER_JOB_RUNNING = 61533,
  IDS_KW_BACKUPSTOPPED = 61534,
  IDS_BACKUP_STOPPED = 61535,
  IDS_PLEASE_WAIT_STOPPING = 61536,
  IDS_PROFILE_SAVED_OK = 61537,
  IDS_TITLE_SCHEDULED_BACKUP = 61539,
  IDS_TITLE_QUICK_BACKUP = 61540,
  IDS_BUTTON_SCHEDULED_MODE = 61541,
  IDS_BUTTON_QUICK_MODE = 61542,
  IDS_BUTTON_BACKUP_NOW = 61543,
  IDS_BUTTON_PERFORM = 61544,
  IDS_EMPTY_TIME = 61551,
  IDS_SCHED_ONCE = 61552,
  IDS_NEXT_BACKUP_TIME = 61558,
  IDS_SCHEDULE_DISABLED = 61559,
  IDS_UNIT_MINUTES = 61560,
  IDS_UNIT_HOURS = 61561,
  IDS_NEVER = 61563,
  IDS_SCHED_ONCE_REPEAT = 61564,
  IDS_SCHED_DAILY = 61566,
  IDS_SCHED_DAILY_END = 61567,
  IDS_SCHED_DAILY_N = 61568,
  IDS_SCHED_DAILY_N_END = 61569,
  IDS_SCHED_DAILY_REPEAT = 61570,
  IDS_SCHED_DAILY_N_REPEAT = 61571,
  IDS_SCHED_DAILY_REPEAT_END = 61572,
  IDS_SCHED_DAILY_N_REPEAT_END = 61573,
  IDS_SCHED_WEEKLY = 61575,
  IDS_WEEKDAY_MON = 61576,
  IDS_WEEKDAY_TUE = 61577,
  IDS_WEEKDAY_WED = 61578,
  IDS_WEEKDAY_THU = 61579,
  IDS_WEEKDAY_FRI = 61580,
  IDS_WEEKDAY_SAT = 61581,
  IDS_WEEKDAY_SUN = 61582,
  IDS_SCHED_WEEKLY_N = 61583,
  IDS_SCHED_WEEKLY_END = 61584,
  IDS_SCHED_WEEKLY_N_END = 61585,
  IDS_SCHED_WEEKLY_REPEAT = 61586,
  IDS_SCHED_WEEKLY_N_REPEAT = 61587,
  IDS_SCHED_WEEKLY_REPEAT_END = 61588,
  IDS_SCHED_WEEKLY_N_REPEAT_END = 61589,
  IDS_MONTH_JANUARY = 61591,
  IDS_MONTH_FEBRUARY = 61592,
  IDS_MONTH_MARCH = 61593,
  IDS_MONTH_APRIL = 61594,
  IDS_MONTH_MAY = 61595,
  IDS_MONTH_JUNE = 61596,
  IDS_MONTH_JULY = 61597,
  IDS_MONTH_AUGUST = 61598,
  IDS_MONTH_SEPTEMBER = 61599,
  IDS_MONTH_OCTOBER = 61600,
  IDS_MONTH_NOVEMBER = 61601,
  IDS_MONTH_DECEMBER = 61602,
  IDS_SCHED_MONTHLY_DAY = 61603,
  IDS_SCHED_MONTHLY_WEEKDAY = 61604,
  IDS_SCHED_MONTHLY_DAY_END = 61605,
  IDS_SCHED_MONTHLY_WEEKDAY_END = 61606,
  IDS_SCHED_MONTHLY_DAY_REPEAT = 61607,
  IDS_SCHED_MONTHLY_WEEKDAY_REPEAT = 61608,
  IDS_SCHED_MONTHLY_DAY_REPEAT_END = 61609,
  IDS_SCHED_MONTHLY_WEEKDAY_REPEAT_END = 61610,
  IDS_LOG_SAVE_FAILED = 61611,
  IDS_LOG_SAVED_OK = 61612,
  IDS_LOG_OPEN_FAILED = 61613,
  IDS_LOG_NOT_SAVED_CONTINUE = 61614,
  IDS_TASK_NAME_ROW = 61615,
  IDS_KW_TASKNAME = 61616,
  IDS_SEPARATOR_ROW = 61617,
  IDS_TAB_GENERAL = 61618,
  IDS_NONAME = 61623,
  IDS_HELP_FILE = 61624,
  // Texts without a number of their own in the original table: 62000 to 62499.
  IDS_XML_ELEMENT_TAG_NOT_FOUND = 62000,
  IDS_XML_ABRUPT_END = 62001,
  IDS_XML_TAG_STARTS_WITH_QUOTE = 62002,
  IDS_XML_END_OF_TAG_NOT_FOUND = 62003,
  IDS_XML_END_TAG_NOT_FOUND = 62004,
  IDS_XML_EXPECTING_END_TAG = 62005,
  IDS_XML_END_TAG_MISMATCH = 62006,
  IDS_XML_END_TAG_NOT_COMPLETED = 62007,
  IDS_LINE_OVERFLOW_TITLE = 62010,
  IDS_LINE_OVERFLOW = 62011,
  IDS_CANNOT_READ_FILE = 62020,
  IDS_CANNOT_WRITE_FILE = 62021,
  IDS_BAD_PROFILE_NAME = 62022,
  IDS_PROFILE_NAME_TOO_LONG = 62023,
  IDS_DESTINATION_TOO_LONG = 62024,
  IDS_ARCHIVE_PATH_TOO_LONG = 62025,
  IDS_SPECIFY_SOURCE = 62026,
  IDS_SPECIFY_DESTINATION = 62027,
  IDS_ENTER_COMPRESSION_FILENAME = 62028,
  IDS_SOURCE_PATH_TOO_LONG = 62029,
  IDS_LIST_QUICK = 62030,
  IDS_LIST_SCHEDULED = 62031,
  IDS_COLUMN_PROFILE_NAME = 62032,
  IDS_COLUMN_CREATE_TIME = 62033,
  IDS_COLUMN_NEXT_RUN_TIME = 62034,
  IDS_COLUMN_LAST_RUN_TIME = 62035,
  IDS_NOT_A_PROFILE = 62036,
  IDS_NO_PROFILE_ELEMENT = 62037,
  IDS_CANNOT_OPEN_ACCOUNT_FILE = 62040,
  IDS_SERVER_TYPE_WINDOWS = 62041,
  IDS_SERVER_TYPE_UNIX = 62042,
  IDS_LOGIN_TEST_PLEASE_WAIT = 62050,
  IDS_LOGIN_TEST_NO_THREAD = 62051,
  IDS_LOGIN_TEST_CONNECTING = 62052,
  IDS_LOGIN_TEST_USER = 62053,
  IDS_LOGIN_TEST_ANONYMOUS = 62054,
  IDS_LOGIN_TEST_UNABLE_TO_LOGIN = 62055,
  IDS_LOGIN_TEST_DIRECTORY_OK = 62056,
  IDS_LOGIN_TEST_DIRECTORY_FAILED = 62057,
  IDS_LOGIN_TEST_SUCCEEDED = 62058,
  IDS_FTP_NOT_CONNECTED = 62060,
  IDS_FTP_FILE_OPEN = 62061,
  IDS_FTP_BAD_PATH = 62062,
  IDS_FTP_NO_PROGRESS = 62063,
  IDS_FTP_BAD_HOST = 62064,
  IDS_FTP_BAD_CREDENTIALS = 62065,
  IDS_FTP_OUT_OF_MEMORY = 62066,
  IDS_FTP_NOT_A_FILE = 62067,
  IDS_FTP_NO_REPLY = 62068,
  IDS_FTP_NO_CURRENT_FOLDER = 62069,
  IDS_FTP_FILE_NOT_OPEN = 62070,
  IDS_FTP_TRANSFER_ENDED = 62071,
  IDS_PING_HEADER = 62080,
  IDS_PING_REPLY = 62081,
  IDS_PING_TIMED_OUT = 62082,
  IDS_PING_HOST_NOT_FOUND = 62083,
  IDS_PING_ERROR = 62084,
  IDS_WEEKDAY_MONDAY = 62090,
  IDS_WEEKDAY_TUESDAY = 62091,
  IDS_WEEKDAY_WEDNESDAY = 62092,
  IDS_WEEKDAY_THURSDAY = 62093,
  IDS_WEEKDAY_FRIDAY = 62094,
  IDS_WEEKDAY_SATURDAY = 62095,
  IDS_WEEKDAY_SUNDAY = 62096,
  IDS_ORDINAL_FIRST = 62100,
  IDS_ORDINAL_SECOND = 62101,
  IDS_ORDINAL_THIRD = 62102,
  IDS_ORDINAL_FOURTH = 62103,
  IDS_ORDINAL_LAST = 62104,
  IDS_LIST_SEPARATOR = 62110,
  IDS_MONTH_LIST_LEAD = 62111,

  // Texts of the backup engine that have no number of their own (printf formats).
  IDS_BACKUP_FILE_ROW = 62500,            // BACKUPFILE row: source path
  IDS_BACKUP_FAILED_ROW = 62501,          // ERROR row: source path
  IDS_BACKING_UP_STATUS = 62502,          // status per chunk: path, KB
  IDS_CONNECTING_ROW = 62503,             // CONNECTING row: host, port
  IDS_LOGGING_IN_ROW = 62504,             // LOGGINGIN row: user name
  IDS_ADDING_TO_ZIP_STATUS = 62505,       // status per added file: path, KB
  IDS_COMPRESSING_TO_STATUS = 62506,      // status of the archive upload: path, KB
  IDS_COMPRESSING_ALL_ROW = 62507,        // COMPRESSFILE row: archive path
  IDS_CANNOT_CREATE_ARCHIVE = 62508,      // ERROR row
  IDS_ARCHIVE_WRITE_FAILED = 62509,       // ERROR row: archive path, reason
  IDS_WORKER_FAILED = 62510,              // ERROR row: reason
  IDS_FOLDER_UNREADABLE_ROW = 62511,      // ERROR row: local folder, system reason
  IDS_FOLDER_UNLISTED_ROW = 62512,        // ERROR row: remote folder, server reason
  IDS_DESTINATION_IS_SOURCE_ROW = 62513,  // ERROR row: folder
  IDS_WALK_CUT_ROW = 62514,               // ERROR row: folder, limit
  IDS_RENAME_REFUSED_ROW = 62515,         // BACKUPFILE row: remote file

  // Reading an archive back and verifying a backup (62900-62929).
  IDS_ZIP_NO_END_RECORD = 62900,           // Corrupt reason
  IDS_ZIP_BAD_DIRECTORY = 62901,           // Corrupt reason
  IDS_ZIP_FAULT_UNSAFE_NAME = 62902,       // entry fault
  IDS_ZIP_FAULT_LOCAL_HEADER = 62903,      // entry fault
  IDS_ZIP_FAULT_OUT_OF_BOUNDS = 62904,     // entry fault
  IDS_ZIP_FAULT_METHOD = 62905,            // entry fault
  IDS_ZIP_FAULT_BAD_DATA = 62906,          // entry fault
  IDS_ZIP_FAULT_SIZE = 62907,              // entry fault
  IDS_ZIP_FAULT_CRC = 62908,               // entry fault
  IDS_KW_VERIFY = 62910,                   // keyword of the VERIFY rows
  IDS_VERIFY_ARCHIVE_ROW = 62911,          // VERIFY row: archive path
  IDS_VERIFY_COPIES_ROW = 62912,           // VERIFY row: destination folder
  IDS_VERIFY_DONE_ROW = 62913,             // VERIFY row: files checked, files failed
  IDS_VERIFY_FAILED_ROW = 62914,           // ERROR row: path, reason
  IDS_VERIFY_ENTRY_FAILED_ROW = 62915,     // ERROR row: entry name, archive path, reason
  IDS_VERIFY_STATUS = 62916,               // status while verifying: path, KB
  IDS_VERIFY_CANNOT_READ = 62917,          // reason: system reason
  IDS_VERIFY_SOURCE_UNREADABLE = 62918,    // reason: system reason
  IDS_VERIFY_SIZE_DIFFERS = 62919,         // reason: copy size, source size
  IDS_VERIFY_TIME_DIFFERS = 62920,         // reason
  IDS_VERIFY_CONTENT_DIFFERS = 62921,      // reason: algorithm, copy digest, source digest
  IDS_VERIFY_REMOTE_SIZE_UNKNOWN = 62922,  // reason: server reason
  IDS_VERIFY_NOT_AN_ARCHIVE = 62923,       // reason: why the archive cannot be read
  IDS_VERIFY_DOWNLOAD_FAILED = 62924,      // reason

  // FTP over TLS (62930-62949).
  IDS_FTP_TLS_NOT_OFFERED = 62930,  // connection failure
  IDS_FTP_CERT_UNTRUSTED = 62931,   // connection failure: reason, SHA-256 fingerprint
  IDS_CERT_EXPIRED = 62932,         // certificate reason
  IDS_CERT_NOT_YET_VALID = 62933,   // certificate reason
  IDS_CERT_UNKNOWN_ISSUER = 62934,  // certificate reason
  IDS_CERT_SELF_SIGNED = 62935,     // certificate reason
  IDS_CERT_NAME_MISMATCH = 62936,   // certificate reason: host
  IDS_FTP_TLS_UNAVAILABLE = 62937,  // connection failure
  IDS_LOGIN_TEST_TLS = 62938,       // login test line

  // Texts of the scheduler lock and the background service.
  IDS_SCHEDULER_HOLDER_MONITOR = 62990,  // who holds the scheduler lock: process id
  IDS_SCHEDULER_HOLDER_WINDOW = 62991,   // who holds the scheduler lock: process id
  IDS_SCHEDULES_RUN_ELSEWHERE = 62992,   // standing by: the holder's text

  // Desktop notifications and the missed-run row.
  IDS_NOTIFY_RUN_FAILED = 63000,     // notice title: profile
  IDS_NOTIFY_LAUNCH_FAILED = 63001,  // notice title: profile
  IDS_NOTIFY_RUN_MISSED = 63002,     // notice title: profile
  IDS_NOTIFY_MORE_ROWS = 63003,      // notice line: number of failure rows left out
  IDS_NOTIFY_EXIT_CODE = 63004,      // notice body of a failed run without failure rows: exit code
  IDS_RUN_MISSED_ROW = 63005,        // log row: profile, due time

  // SFTP (63020-63049).
  IDS_SFTP_HOST_KEY_UNKNOWN = 63020,  // connection failure: fingerprint, known-hosts file
  IDS_SFTP_HOST_KEY_CHANGED = 63021,  // connection failure: fingerprint, known-hosts file
  IDS_SFTP_NO_SUCH_FILE = 63022,      // FileSize refusal
  IDS_LOGIN_TEST_SFTP = 63023,        // login test line

  // Verifying by the server's HASH command (63050-63069).
  IDS_FTP_HASH_NOT_OFFERED = 63050,        // FileHash refusal
  IDS_FTP_HASH_BAD_REPLY = 63051,          // FileHash refusal: the server's reply
  IDS_VERIFY_REMOTE_HASH_UNKNOWN = 63052,  // reason: server reason

  // Passphrases of private keys (63090-63099).
  IDS_KEY_PASSPHRASE_MISSING_ROW = 63090,  // LOGINFAILED row: key file
  IDS_KEY_PASSPHRASE_PROMPT = 63091,       // question: key file

  // Stopping a run of the background service (63100-63109).
  IDS_NO_BACKUP_TO_STOP = 63100,  // stop request without a running backup
  IDS_STOP_REQUESTED = 63101,     // stop request answered: holder, profile

  // The stop socket of the scheduler lock's holder (63110-63139).
  IDS_STOP_NOBODY_LISTENS = 63110,        // socket path, system reason
  IDS_STOP_NO_ANSWER = 63111,             // socket path
  IDS_STOP_REFUSED = 63112,               // socket path, the service's reason word
  IDS_STOP_SOCKET_OTHER_USER = 63113,     // socket path
  IDS_STOP_SOCKET_IN_THE_WAY = 63114,     // socket path
  IDS_STOP_SOCKET_NAME_TOO_LONG = 63115,  // socket path
  IDS_STOP_REQUESTS_UNREACHABLE = 63116,  // the reason
  IDS_CORE_DUMPS_STAY_ON = 63117,         // system reason

  // What a verify row says was compared (63230-63259).
  IDS_VERIFY_PASSED_ROW = 63230,             // VERIFY row: path, method
  IDS_VERIFY_BY_BOTH_READ = 63231,           // method
  IDS_VERIFY_BY_SERVER_HASH = 63232,         // method: HASH algorithm
  IDS_VERIFY_BY_READ_BACK = 63233,           // method
  IDS_VERIFY_BY_SIZE_NO_HASH = 63234,        // method
  IDS_VERIFY_BY_SIZE_TWO_SERVERS = 63235,    // method
  IDS_VERIFY_BY_ENTRY_CRC = 63236,           // method
  IDS_VERIFY_BY_CRC_AFTER_DOWNLOAD = 63237,  // method
  IDS_VERIFY_BY_SENT_ARCHIVE = 63238,        // method: method of the stored copy
  IDS_VERIFY_BYTES_DIFFER = 63239,           // reason: offset of the first differing byte
  IDS_VERIFY_READ_BACK_FAILED = 63240,       // reason: server reason

  // Hostile servers (63200-63229).
  IDS_FTP_NAME_TOO_LONG = 63200,        // session refusal: the longest name
  IDS_SFTP_LISTING_CHANGED = 63201,     // listing failure
  IDS_SFTP_LISTING_UNREADABLE = 63202,  // listing failure

  // Stored files the reading rule turns down (63170-63199).
  IDS_FILE_NOT_REGULAR = 63170,  // reason
  IDS_FILE_TOO_LARGE = 63171,    // reason: the limit ("8 MiB")
  IDS_FILE_CANNOT_TELL = 63172,  // a status line that could not be worked out: the reason

  // What a new user ran into: kind changes, the background service, failure reasons (63440-63459).
  IDS_PROFILE_OVERWRITE_SCHEDULED = 63440,  // question: profile name
  IDS_PROFILE_OVERWRITE_QUICK = 63441,      // question: profile name
  IDS_SERVICE_NO_HOME = 63442,              // install failure
  IDS_SERVICE_UNIT_PATH = 63443,            // install failure: what, path, the character
  IDS_SERVICE_PROGRAM_PATH = 63444,         // what: the program's path
  IDS_SERVICE_DATA_FOLDER = 63445,          // what: the data folder
  IDS_SERVICE_SYSTEMD_REFUSED = 63446,      // install failure: systemctl's words, unit name
  IDS_SERVICE_NO_CLI = 63447,               // install failure: the path looked for
  IDS_FAILURE_REASON_ROW = 63448,           // ERROR row after a failed row: the reason
  IDS_REASON_HOST_PORT = 63449,             // reason: host, port, the connection's failure

  // Desktop notices that could not be shown (63140-63169).
  IDS_KW_NOTICE = 63140,             // keyword of the NOTICE rows
  IDS_NOTICE_NOT_SENT = 63141,       // NOTICE row: notice title, reason
  IDS_NOTICE_NO_BUS = 63142,         // reason: no session bus
  IDS_NOTICE_NOT_STARTED = 63143,    // reason: the program that sends notices
  IDS_NOTICE_EXIT_STATUS = 63144,    // reason: program, its exit status
  IDS_NOTICE_NOT_CONNECTED = 63145,  // reason: the window is not connected to the session bus
  IDS_NOTICE_TOO_MANY = 63146,       // reason: too many notices wait for the notification server

  // Run reports (63340-63379).
  IDS_KW_REPORT = 63340,                        // keyword of the REPORT rows
  IDS_OUTCOME_COMPLETED = 63341,                // outcome words
  IDS_OUTCOME_COMPLETED_WITH_FAILURES = 63342,  // outcome words
  IDS_OUTCOME_FAILED = 63343,                   // outcome words
  IDS_OUTCOME_STOPPED = 63344,                  // outcome words
  IDS_OUTCOME_COULD_NOT_START = 63345,          // outcome words
  IDS_OUTCOME_MISSED = 63346,                   // outcome words
  IDS_REPORT_BYTES = 63347,                     // a size under 1 KB: bytes
  IDS_REPORT_SIZE = 63348,                      // a size: number, unit
  IDS_REPORT_SUMMARY = 63349,                   // summary: outcome, files, size, hours, minutes, seconds
  IDS_REPORT_SUMMARY_FAILED = 63350,            // summary part: failed files
  IDS_REPORT_SUMMARY_SKIPPED = 63351,           // summary part: skipped files
  IDS_REPORT_SUMMARY_NO_RUN = 63352,            // summary of a run that did not happen: outcome
  IDS_OVERALL_PROGRESS = 63353,                 // overall progress: files done, size
  IDS_OVERALL_PROGRESS_OF = 63354,              // overall progress: files done, files in all, size
};

// The text of a string-table entry; an empty text for a number the table does not hold.
const char* LoadString(unsigned id);

// printf-style formatting into a std::string (the table's texts are printf formats).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats the string-table entry `id` with the given arguments.
template <typename... Args>
std::string FormatString(unsigned id, Args... args) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  return FormatText(LoadString(id), args...);
#pragma GCC diagnostic pop
}

}  // namespace tarnwick
