#include "app/StringTable.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <iterator>

namespace tarnwick {
namespace {

struct Entry {
  unsigned id;
  const char* text;
};

// Sorted by number.
constexpr Entry kEntries[] = {
    {IDS_VERSION_TEXT, "Tarnwick Version 1.1"},
    {IDS_SOCKETS_INIT_FAILED, "Windows sockets initialization failed."},
    {IDS_AGENT_NAME, "Tarnwick"},
    {IDS_BACKUP_START, "Backup Start."},
    {IDS_KW_BACKUPSTART, "BACKUPSTART"},
    {IDS_KW_UNKNOWN_ACTION, "UNKNOWN ACTION"},
    {IDS_BACKUP_END, "Backup End."},
    {IDS_KW_BACKUPEND, "BACKUPEND"},
    {IDS_KW_BACKUPFILE, "BACKUPFILE"},
    {IDS_LEVEL_STORE, "Store"},
    {IDS_LEVEL_FASTEST, "Fastest"},
    {IDS_LEVEL_FAST, "Fast"},
    {IDS_LEVEL_NORMAL, "Normal"},
    {IDS_LEVEL_GOOD, "Good"},
    {IDS_LEVEL_BEST, "Best"},
    {IDS_ENTER_PROFILE_NAME, "Please enter profile name."},
    {IDS_KW_ERROR, "ERROR"},
    {IDS_KW_COMPRESSFILE, "COMPRESSFILE"},
    {IDS_PROFILE_EXISTS_OVERWRITE, "Profile \"%s\" already exists.\nDo you want to overwrite it?"},
    {IDS_KW_CONNECTFAILED, "CONNECTFAILED"},
    {IDS_FAILED_TO_CONNECT, "Failed to connect to host."},
    {IDS_KW_CONNECTED, "CONNECTED"},
    {IDS_SOCKET_CONNECTED, "Socket connected."},
    {IDS_KW_CONNECTING, "CONNECTING"},
    {IDS_KW_LOGGINGIN, "LOGGINGIN"},
    {IDS_USER_LOGIN_OK, "User login OK."},
    {IDS_KW_LOGINOK, "LOGINOK"},
    {IDS_LOGIN_FAILED, "Login Failed."},
    {IDS_KW_LOGINFAILED, "LOGINFAILED"},
    {IDS_CONFIRM_DELETE_ONE, "Do you really want to delete \"%s\" permanently?"},
    {IDS_CONFIRM_DELETE_MANY, "Warnning!!All selected profiles will be deleted!!\nDo you really want to proceed?"},
    {IDS_DELETE_FAILED, "Delete \"%s\" failed.\nError Code = %d."},
    {IDS_RENAME_FAILED, "Rename profile \"%s\" failed.\n"},
    {IDS_ANOTHER_JOB_RUNNING, "Sorry, another backup job is still running.\nPlease switch this backup job to schedule mode."},
    {IDS_KW_BACKUPSTOPPED, "BACKUPSTOPPED"},
    {IDS_BACKUP_STOPPED, "Backup has been stopped."},
    {IDS_PLEASE_WAIT_STOPPING, "Please be patient while stopping the running backup job."},
    {IDS_PROFILE_SAVED_OK, "Profile saved ok!"},
    {IDS_TITLE_SCHEDULED_BACKUP, "Scheduled Backup..."},
    {IDS_TITLE_QUICK_BACKUP, "Quick Backup..."},
    {IDS_BUTTON_SCHEDULED_MODE, "Scheduled &Mode >>"},
    {IDS_BUTTON_QUICK_MODE, "Quick &Mode <<"},
    {IDS_BUTTON_BACKUP_NOW, "Backup &Now"},
    {IDS_BUTTON_PERFORM, "Per&form"},
    {IDS_EMPTY_TIME, "- - : - - : - -"},
    {IDS_SCHED_ONCE, "At %02d:%02d on %02d/%02d/%d"},
    {IDS_NEXT_BACKUP_TIME, "Next Backup Time: %s"},
    {IDS_SCHEDULE_DISABLED, "Scheduled Backup Disabled."},
    {IDS_UNIT_MINUTES, "minute(s)"},
    {IDS_UNIT_HOURS, "hour(s)"},
    {IDS_NEVER, "Never"},
    {IDS_SCHED_ONCE_REPEAT, "Every %d %s from %02d:%02d for %d minutes on %02d/%02d/%d"},
    {IDS_SCHED_DAILY, "At %02d:%02d every day, starting %02d/%02d/%d"},
    {IDS_SCHED_DAILY_END, "At %02d:%02d every day, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_SCHED_DAILY_N, "At %02d:%02d every %d day, starting %02d/%02d/%d"},
    {IDS_SCHED_DAILY_N_END, "At %02d:%02d every %d day, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_SCHED_DAILY_REPEAT, "Every %d %s from %02d:%02d for %d minutes every day, starting %02d/%02d/%d"},
    {IDS_SCHED_DAILY_N_REPEAT, "Every %d %s from %02d:%02d for %d minutes every %d day, starting %02d/%02d/%d"},
    {IDS_SCHED_DAILY_REPEAT_END, "Every %d %s from %02d:%02d for %d minutes every day, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_SCHED_DAILY_N_REPEAT_END, "Every %d %s from %02d:%02d for %d minutes every %d day, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_SCHED_WEEKLY, "At %02d:%02d every %s of every week, starting %02d/%02d/%d"},
    {IDS_WEEKDAY_MON, "Mon"},
    {IDS_WEEKDAY_TUE, "Tue"},
    {IDS_WEEKDAY_WED, "Wed"},
    {IDS_WEEKDAY_THU, "Thu"},
    {IDS_WEEKDAY_FRI, "Fri"},
    {IDS_WEEKDAY_SAT, "Sat"},
    {IDS_WEEKDAY_SUN, "Sun"},
    {IDS_SCHED_WEEKLY_N, "At %02d:%02d every %s of every %d week, starting %02d/%02d/%d"},
    {IDS_SCHED_WEEKLY_END, "At %02d:%02d every %s of every week, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_SCHED_WEEKLY_N_END, "At %02d:%02d every %s of every %d week, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_SCHED_WEEKLY_REPEAT, "Every %d %s from %02d:%02d for %d minutes every %s of every week, starting %02d/%02d/%d"},
    {IDS_SCHED_WEEKLY_N_REPEAT, "Every %d %s from %02d:%02d for %d minutes every %s of every %d week, starting %02d/%02d/%d"},
    {IDS_SCHED_WEEKLY_REPEAT_END, "Every %d %s from %02d:%02d for %d minutes every %s of every week, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_SCHED_WEEKLY_N_REPEAT_END, "Every %d %s from %02d:%02d for %d minutes every %s of every %d week, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_MONTH_JANUARY, "January"},
    {IDS_MONTH_FEBRUARY, "February"},
    {IDS_MONTH_MARCH, "March"},
    {IDS_MONTH_APRIL, "April"},
    {IDS_MONTH_MAY, "May"},
    {IDS_MONTH_JUNE, "June"},
    {IDS_MONTH_JULY, "July"},
    {IDS_MONTH_AUGUST, "August"},
    {IDS_MONTH_SEPTEMBER, "September"},
    {IDS_MONTH_OCTOBER, "October"},
    {IDS_MONTH_NOVEMBER, "November"},
    {IDS_MONTH_DECEMBER, "December"},
    {IDS_SCHED_MONTHLY_DAY, "At %02d:%02d on day %d of every month%s, starting %02d/%02d/%d"},
    {IDS_SCHED_MONTHLY_WEEKDAY, "At %02d:%02d on the %s of every month%s, starting %02d/%02d/%d"},
    {IDS_SCHED_MONTHLY_DAY_END, "At %02d:%02d on day %d of every month%s, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_SCHED_MONTHLY_WEEKDAY_END, "At %02d:%02d on the %s of every month%s, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_SCHED_MONTHLY_DAY_REPEAT, "Every %d %s from %02d:%02d for %d minutes on day %d of every month%s, starting %02d/%02d/%d"},
    {IDS_SCHED_MONTHLY_WEEKDAY_REPEAT, "Every %d %s from %02d:%02d for %d minutes on the %s of every month%s, starting %02d/%02d/%d"},
    {IDS_SCHED_MONTHLY_DAY_REPEAT_END, "Every %d %s from %02d:%02d for %d minutes on day %d of every month%s, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_SCHED_MONTHLY_WEEKDAY_REPEAT_END, "Every %d %s from %02d:%02d for %d minutes on the %s of every month%s, starting %02d/%02d/%d and ending %02d/%02d/%d"},
    {IDS_LOG_SAVE_FAILED, "Failed to save log to \"%s\"."},
    {IDS_LOG_SAVED_OK, "Activity log saved ok."},
    {IDS_LOG_OPEN_FAILED, "Unable to open log file \"%s\""},
    {IDS_LOG_NOT_SAVED_CONTINUE, "Activity log not saved, would you like to continue?"},
    {IDS_TASK_NAME_ROW, "********** Task Name:  %s **********"},
    {IDS_KW_TASKNAME, "TASKNAME"},
    {IDS_SEPARATOR_ROW, "##### TARNWICK #####"},
    {IDS_TAB_GENERAL, "General"},
    {IDS_NONAME, "NONAME"},
    {IDS_HELP_FILE, "tarnwick.chm"},
    {IDS_XML_ELEMENT_TAG_NOT_FOUND, "Element tag not found"},
    {IDS_XML_ABRUPT_END, "Abrupt end within tag"},
    {IDS_XML_TAG_STARTS_WITH_QUOTE, "Tag starts with quote"},
    {IDS_XML_END_OF_TAG_NOT_FOUND, "End of tag not found"},
    {IDS_XML_END_TAG_NOT_FOUND, "End tag of %s element not found"},
    {IDS_XML_EXPECTING_END_TAG, "Expecting end tag of element %s"},
    {IDS_XML_END_TAG_MISMATCH, "End tag does not correspond to %s"},
    {IDS_XML_END_TAG_NOT_COMPLETED, "End tag not completed for element %s"},
    {IDS_LINE_OVERFLOW_TITLE, "Warning !"},
    {IDS_LINE_OVERFLOW, "m_pBuffer overflow in line %u (line length over %d chars)"},
    {IDS_CANNOT_READ_FILE, "Cannot read \"%s\".\n%s."},
    {IDS_CANNOT_WRITE_FILE, "Cannot write \"%s\".\n%s."},
    {IDS_BAD_PROFILE_NAME, "The profile name \"%s\" cannot be used.\nA profile name must not be \".\" or \"..\" and must "
     "not contain \"/\", \"\\\" or control characters."},
    {IDS_PROFILE_NAME_TOO_LONG, "The profile name \"%s\" is too long.\nA profile name may have at most %d characters."},
    {IDS_DESTINATION_TOO_LONG, "The backup cannot start: its destination folder has %zu characters, more than the %d the "
     "system allows."},
    {IDS_ARCHIVE_PATH_TOO_LONG, "The backup cannot start: the path of its archive has %zu characters, more than the %d the "
     "system allows."},
    {IDS_SPECIFY_SOURCE, "Please specify backup source.\nIt could be a local folder or a remote FTP path."},
    {IDS_SPECIFY_DESTINATION, "Please specify backup destination.\nIt could be a local folder or a remote FTP path."},
    {IDS_ENTER_COMPRESSION_FILENAME, "Please enter compression filename."},
    {IDS_LIST_QUICK, "Quick Lanch Profiles"},
    {IDS_LIST_SCHEDULED, "Scheduled Profiles"},
    {IDS_COLUMN_PROFILE_NAME, "Profile Name"},
    {IDS_COLUMN_CREATE_TIME, "Create Time"},
    {IDS_COLUMN_NEXT_RUN_TIME, "Next Run Time"},
    {IDS_COLUMN_LAST_RUN_TIME, "Last Run Time"},
    {IDS_CANNOT_OPEN_ACCOUNT_FILE, "Cannot open file %s, make sure you havn't opened it."},
    {IDS_SERVER_TYPE_WINDOWS, "Windows Server"},
    {IDS_SERVER_TYPE_UNIX, "Unix Server"},
    {IDS_LOGIN_TEST_PLEASE_WAIT, "Please be patient while system lauching FTP login test."},
    {IDS_LOGIN_TEST_NO_THREAD, "Unable to create ftp test thread."},
    {IDS_LOGIN_TEST_CONNECTING, "Connecting %s:%d."},
    {IDS_LOGIN_TEST_USER, "USER %s"},
    {IDS_LOGIN_TEST_ANONYMOUS, "anonymous"},
    {IDS_LOGIN_TEST_UNABLE_TO_LOGIN, "Unable to login to host %s."},
    {IDS_LOGIN_TEST_DIRECTORY_OK, "Current directory is %s."},
    {IDS_LOGIN_TEST_DIRECTORY_FAILED, "Cannot set remote directory to %s."},
    {IDS_LOGIN_TEST_SUCCEEDED, "Login test successfully."},
    {IDS_FTP_NOT_CONNECTED, "Not connected."},
    {IDS_FTP_FILE_OPEN, "A remote file is open on the session."},
    {IDS_FTP_BAD_PATH, "A line break or NUL in a remote path."},
    {IDS_FTP_NO_PROGRESS, "No progress within the time-out."},
    {IDS_FTP_BAD_HOST, "Not a usable host name or port."},
    {IDS_FTP_BAD_CREDENTIALS, "A line break in the user name or password."},
    {IDS_FTP_OUT_OF_MEMORY, "Out of memory."},
    {IDS_FTP_NOT_A_FILE, "Not a file path."},
    {IDS_FTP_NO_REPLY, "No reply to %s"},
    {IDS_FTP_NO_CURRENT_FOLDER, "The server did not name its current folder."},
    {IDS_FTP_FILE_NOT_OPEN, "The remote file is not open for this transfer."},
    {IDS_FTP_TRANSFER_ENDED, "The server ended the transfer early."},
    {IDS_PING_HEADER, "Pinging %s [%s] with %d bytes of data:"},
    {IDS_PING_REPLY, "Reply[%d] from: %s: bytes=%d time=%ldms TTL=%d"},
    {IDS_PING_TIMED_OUT, "Request Timed Out"},
    {IDS_PING_HOST_NOT_FOUND, "Host not found: %s"},
    {IDS_PING_ERROR, "%s - WSAError: %ld"},
    {IDS_WEEKDAY_MONDAY, "Monday"},
    {IDS_WEEKDAY_TUESDAY, "Tuesday"},
    {IDS_WEEKDAY_WEDNESDAY, "Wednesday"},
    {IDS_WEEKDAY_THURSDAY, "Thursday"},
    {IDS_WEEKDAY_FRIDAY, "Friday"},
    {IDS_WEEKDAY_SATURDAY, "Saturday"},
    {IDS_WEEKDAY_SUNDAY, "Sunday"},
    {IDS_ORDINAL_FIRST, "first"},
    {IDS_ORDINAL_SECOND, "second"},
    {IDS_ORDINAL_THIRD, "third"},
    {IDS_ORDINAL_FOURTH, "fourth"},
    {IDS_ORDINAL_LAST, "last"},
    {IDS_LIST_SEPARATOR, ", "},
    {IDS_MONTH_LIST_LEAD, " of "},
    {IDS_BACKUP_FILE_ROW, "Backup file %s."},
    {IDS_BACKUP_FAILED_ROW, "Backup %s Failed."},
    {IDS_BACKING_UP_STATUS, "Backing up %s | %d KB"},
    {IDS_CONNECTING_ROW, "Connecting to host %s:%s."},
    {IDS_LOGGING_IN_ROW, "USER: %s"},
    {IDS_ADDING_TO_ZIP_STATUS, "Adding %s to zip, %d KB"},
    {IDS_COMPRESSING_TO_STATUS, "Compressing %s | %d KB"},
    {IDS_COMPRESSING_ALL_ROW, "Compressing all files to %s."},
    {IDS_CANNOT_CREATE_ARCHIVE, "Cannot create destination compression file."},
    {IDS_ARCHIVE_WRITE_FAILED, "Cannot write destination compression file %s: %s."},
    {IDS_WORKER_FAILED, "The backup job ended on an error: %s"},
    {IDS_FOLDER_UNREADABLE_ROW, "Cannot read folder %s: %s."},
    {IDS_FOLDER_UNLISTED_ROW, "Cannot list folder %s: %s."},
    {IDS_DESTINATION_IS_SOURCE_ROW, "The destination folder is the source folder %s itself: nothing was backed up."},
    {IDS_WALK_CUT_ROW, "The walk of folder %s was cut after %s: not every file was backed up."},
    {IDS_RENAME_REFUSED_ROW,
     "The server refused to rename %s: files are stored under their final names, so uploads to this server are "
     "not atomic."},
};

// The lookup below is a binary search.
static_assert(std::adjacent_find(std::begin(kEntries), std::end(kEntries),
                                 [](const Entry& a, const Entry& b) { return a.id >= b.id; }) == std::end(kEntries),
              "string table entries must be sorted by number, each number once");

}  // namespace

const char* LoadString(unsigned id) {
  auto it = std::lower_bound(std::begin(kEntries), std::end(kEntries), id,
                             [](const Entry& e, unsigned key) { return e.id < key; });
  return (it != std::end(kEntries) && it->id == id) ? it->text : "";
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (needed > 0) {
    out.resize(static_cast<size_t>(needed));
    std::vsnprintf(out.data(), out.size() + 1, format, args);
  }
  va_end(args);
  return out;
}

}  // namespace tarnwick
