#include "report/run-report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log/result-record.h"
#include "log/text-lines.h"
#include "os/posix/host-control.h"
#include "report/computer-name.h"
#include "report/report-options.h"
#include "report/report-table.h"
#include "support/host-machine.h"

namespace {

const char kHeader[] = "computer,date,time,update,new,return_code,outcome\r\n";
const std::string kUsage = std::string(kReportUsage) + "\n";
// The summary's outcomes after the counts of success and failed.
std::string Summary(const char* computers, int success, int failed,
                    const char* rest) {
  return std::string("zrreport: ") + computers + ": " +
         std::to_string(success) + " success, 0 not-applicable, " +
         "0 restart-needed, 0 restart-started, " + std::to_string(failed) +
         " failed, " + rest + "\n";
}

// A record as zoderudo writes it, at "MM-DD-YYYY hh:mm:ss".
std::string Record(const char* stamp, const char* update,
                   const char* new_version, int32_t code) {
  std::string date(stamp, 10), time(stamp + 11, 8);
  char record[kRecordSize];
  unsigned length = BuildLogRecord(date.c_str(), time.c_str(), update,
                                   new_version, code, record);
  return std::string(record, length);
}

// The text in UTF-16 after its byte order mark, as PowerShell's ">" saves.
std::string Utf16(const std::string& text, const char* mark = "\xFF\xFE") {
  std::string saved = mark;
  for (char c : text)
    saved += std::string(1, c) + '\0';
  return saved;
}

class RunReportTest : public HostMachineTest {
 protected:
  int Run(const std::vector<std::string>& arguments) {
    std::vector<char*> argv = {const_cast<char*>("zrreport")};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    // Every file and search the report opens it closes again; the standard
    // output's handle is the process's own and stays.
    GetStdHandle(STD_OUTPUT_HANDLE);
    size_t open = HostOpenHandleCount();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int code = RunReport(static_cast<int>(argv.size()), argv.data());
    out_ = testing::internal::GetCapturedStdout();
    err_ = testing::internal::GetCapturedStderr();
    EXPECT_EQ(HostOpenHandleCount(), open);
    return code;
  }

  std::string out_, err_;
};

// Folders, files and lists, how each log finds its computer, bad lines,
// logs that are missing or empty, the order of the rows and the exit code.
TEST_F(RunReportTest, CollectedLogsGiveOneSortedTable) {
  for (const char* folder :
       {"logs/sub", "single", "ZRLOG", "fine", "empty", "logs/PC100",
        "logs/PC101/ZRLOG", "fleet", "fleet/PC004"})
    MakeFolder(folder);
  MakeFile("logs/PC042.log",
           Record("03-07-2005 09:05:41", "1.0", "2.0", 1) +
               Record("03-07-2005 09:06:00", "a", "x", 0) +
               "not a record\r\n" +
               Record("03-07-2005 09:07:00", "A", "x", 99) +
               Record("03-08-2005 10:00:00", "1.0", "2.0", 0) +
               // A torn last line (of 3010), then the end mark.
               "03-09-2005 11:00:00,Update=1.0,New=3.0,Status=Unknown,"
               "ReturnCode=301\x1A");
  // Copies one folder per PC, as robocopy lays them out.
  MakeFile("logs/PC100/ZR.log", Record("03-07-2005 09:05:41", "1", "2", 0));
  MakeFile("logs/PC101/ZRLOG/ZR.log", "");
  MakeFile("logs/pc001.log", "");
  MakeFile("logs/Zeta.LOG", Record("12-31-2006 23:59:59", "x", "y", 1641));
  MakeFile("logs/notes.txt", Record("12-31-2006 23:59:59", "n", "n", 5));
  MakeFile("logs/sub/PC777.log", Record("12-31-2006 23:59:59", "s", "s", 5));
  MakeFile("single/PC5.txt", Record("01-02-2006 00:03:04", "1.0", "2.0", -1));
  // Saved by Notepad as "Unicode": UTF-16 with its byte order mark.
  MakeFile("list.txt", Utf16("  C:\\single\\PC5.txt \r\n\r\n \t\r\n"
                             "\\\\PC900\\C$\\ZRLOG\\ZR.log\r\n"
                             "\\\\server\\zrlogs\\PC102\\ZRLOG\\ZR.log\r\n"
                             " ;C:\\old.log\r\nC:\\gone\\Missing.log"));

  EXPECT_EQ(Run({"C:\\logs\\", "@C:\\list.txt"}), ReportAttention);
  EXPECT_EQ(out_, std::string(kHeader) +
                      "Missing,,,,,,unreadable\r\n"
                      "pc001,,,,,,no-record\r\n"
                      "PC042,2005-03-08,10:00:00,1.0,2.0,0,success\r\n"
                      "PC042,2005-03-07,09:07:00,A,x,99,not-applicable\r\n"
                      "PC042,2005-03-07,09:06:00,a,x,0,success\r\n"
                      "PC100,2005-03-07,09:05:41,1,2,0,success\r\n"
                      "PC101,,,,,,no-record\r\n"
                      "PC102,,,,,,unreadable\r\n"
                      "PC5,2006-01-02,00:03:04,1.0,2.0,-1,failed\r\n"
                      "PC900,,,,,,unreadable\r\n"
                      "Zeta,2006-12-31,23:59:59,x,y,1641,restart-started\r\n");
  EXPECT_EQ(err_,
            "C:\\logs\\PC042.log:3: not a result record\n"
            "C:\\logs\\PC042.log:6: not a result record\n"
            "\\\\PC900\\C$\\ZRLOG\\ZR.log: cannot read the log (error 3)\n"
            "\\\\server\\zrlogs\\PC102\\ZRLOG\\ZR.log: cannot read the log "
            "(error 3)\n"
            "C:\\gone\\Missing.log: cannot read the log (error 3)\n"
            "zrreport: 9 computers: 3 success, 1 not-applicable, "
            "0 restart-needed, 1 restart-started, 1 failed, 2 no-record, "
            "0 no-log, 3 unreadable\n");

  // Computers that should report, and one version: one row per computer.
  MakeFile("computers.txt", "\xEF\xBB\xBFPC042\r\npc5 D\r\n  PC100\r\nZeta\r\n"
                            "PC404\r\n");
  EXPECT_EQ(Run({"--computers", "C:\\computers.txt", "--package", "2.0",
                 "C:\\logs", "C:\\single\\PC5.txt"}),
            ReportAttention);
  EXPECT_EQ(out_, std::string(kHeader) +
                      "pc001,,,,,,no-record\r\n"
                      "PC042,2005-03-08,10:00:00,1.0,2.0,0,success\r\n"
                      "PC100,,,,,,no-record\r\n"
                      "PC101,,,,,,no-record\r\n"
                      "PC404,,,,,,no-log\r\n"
                      "pc5,2006-01-02,00:03:04,1.0,2.0,-1,failed\r\n"
                      "Zeta,,,,,,no-record\r\n");
  EXPECT_EQ(err_, "C:\\logs\\pc001.log: pc001 is not in C:\\computers.txt\n"
                  "C:\\logs\\PC042.log:3: not a result record\n"
                  "C:\\logs\\PC042.log:6: not a result record\n"
                  "C:\\logs\\PC101\\ZRLOG\\ZR.log: PC101 is not in "
                  "C:\\computers.txt\n" +
                      Summary("7 computers", 1, 1,
                              "4 no-record, 1 no-log, 0 unreadable"));

  // A log named ZR.log on a local path is this computer's own.
  MakeFile("ZRLOG/ZR.log", Record("03-07-2005 09:05:41", "1.0", "2.0", 0));
  char computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof computer;
  ASSERT_TRUE(GetComputerNameA(computer, &size));
  EXPECT_EQ(Run({"C:\\zrlog\\zr.LOG"}), ReportAllWell);
  EXPECT_EQ(out_, std::string(kHeader) + computer +
                      ",2005-03-07,09:05:41,1.0,2.0,0,success\r\n");
  EXPECT_EQ(err_, Summary("1 computer", 1, 0,
                          "0 no-record, 0 no-log, 0 unreadable"));

  // Logs as collecting scripts save them, listed by DNS names and names
  // longer than Windows keeps, beside comments and CR-only line ends.
  MakeFile("fleet/PC001.log",
           Utf16(Record("03-07-2005 09:05:41", "1", "2.0", 0)));
  MakeFile("fleet.txt", "pc001.corp.local\r  ; old PCs\r\nPC001.CORP.local");
  EXPECT_EQ(
      Run({"--computers", "C:\\fleet.txt", "--package", "2.0", "C:\\fleet"}),
      ReportAllWell);
  EXPECT_EQ(out_,
            std::string(kHeader) +
                "pc001.corp.local,2005-03-07,09:05:41,1,2.0,0,success\r\n");
  MakeFile("fleet/ACCOUNTING-PC-0.log",
           "\xEF\xBB\xBF" + Record("03-07-2005 09:05:41", "-1", "=1+1", -1) +
               Record("03-07-2005 09:05:42", "@1;=1\t-1;;+;\"=2", "=1+1", -1));
  MakeFile("fleet/PC003.log",
           Utf16(Record("03-07-2005 09:05:41", "1", "2", 0), ""));
  std::string big = Utf16(Record("03-07-2005 09:05:41", "1", "2", 0), "");
  // Records the program appended in ANSI after CR LF, or after the LF
  // that ends big-endian UTF-16, follow the older UTF-16 text.
  MakeFile("fleet/PC005.log", std::string("\xFE\xFF\0", 3) +
                                  big.substr(0, big.size() - 1) +
                                  Record("03-07-2005 09:05:43", "1", "2", 1));
  std::string cut = Utf16(Record("03-07-2005 09:05:41", "1", "2", 0) + "x");
  MakeFile("fleet/PC006.log", cut.substr(0, cut.size() - 1) + "\r\n" +
                                  Record("03-07-2005 09:05:43", "1", "2", 1));
  MakeFile("fleet/setupapi.log", "a\nb\nc\nd\ne\n");
  // The clock went back between two runs; the longer copy holds both.
  std::string early = Record("03-07-2005 10:00:00", "a", "2.0", 1);
  MakeFile("fleet/PC004/ZR.log", early);
  MakeFile("fleet/PC004.log",
           early + Record("03-07-2005 09:30:00", "a", "2.0", 0));
  MakeFile("fleet.txt",
           "pc001.corp.local\r;x\rACCOUNTING-PC-0001\rPC003\r\n"
           "PC004 D\r\nPC005.corp\r\n\\\\PC006\r\n");
  EXPECT_EQ(Run({"--computers", "C:\\fleet.txt", "C:\\fleet"}),
            ReportAttention);
  EXPECT_EQ(out_,
            std::string(kHeader) +
                "ACCOUNTING-PC-0001,2005-03-07,09:05:41,'-1,'=1+1,-1,failed\r\n"
                "ACCOUNTING-PC-0001,2005-03-07,09:05:42,\"'@1;'=1\t'-1;;'+;'\"\"=2\","
                "'=1+1,-1,failed\r\n"
                "pc001.corp.local,2005-03-07,09:05:41,1,2.0,0,success\r\n"
                "PC003,,,,,,unreadable\r\n"
                "PC004,2005-03-07,09:30:00,a,2.0,0,success\r\n"
                "PC005.corp,2005-03-07,09:05:43,1,2,1,failed\r\n"
                "PC006,2005-03-07,09:05:43,1,2,1,failed\r\n"
                "setupapi,,,,,,no-record\r\n");
  EXPECT_EQ(
      err_,
      "C:\\fleet\\PC003.log: cannot read the log: it looks like "
      "UTF-16 without a byte order mark\n"
      "C:\\fleet\\PC006.log:2: not a result record\n"
      "C:\\fleet\\setupapi.log: setupapi is not in C:\\fleet.txt\n"
      "C:\\fleet\\setupapi.log:1: not a result record\n"
      "C:\\fleet\\setupapi.log:2: not a result record\n"
      "C:\\fleet\\setupapi.log:3: not a result record\n"
      "C:\\fleet\\setupapi.log: 2 more lines are not result records\n" +
          Summary("7 computers", 2, 4, "1 no-record, 0 no-log, 1 unreadable"));
  // A version no log holds; an unreadable copy beside a good one.
  EXPECT_EQ(Run({"--package", "2.00", "C:\\fleet\\PC001.log",
                 "C:\\fleet\\ACCOUNTING-PC-0.log"}),
            ReportAttention);
  EXPECT_EQ(err_.substr(0, err_.find('\n')),
            "zrreport: no log holds a record of version 2.00; versions found: "
            "=1+1 (2), 2.0 (1)");
  EXPECT_EQ(
      Run({"--package", "2.0", "C:\\fleet\\PC001.log", "C:\\gone\\PC001.log"}),
      ReportAttention);
  EXPECT_EQ(out_, std::string(kHeader) +
                      "PC001,2005-03-07,09:05:41,1,2.0,0,success\r\n");
  EXPECT_NE(CompareComputerNames("10.0.0.5", "10.0.0.6"), 0);

  // Nothing but 0, 99, 3010 and 1641: all is well.
  MakeFile("fine/A.log", Record("03-07-2005 09:05:41", "1", "2", 99) +
                             Record("03-07-2005 09:05:42", "3", "4", 3010));
  MakeFile("fine/B.log", Record("03-07-2005 09:05:41", "1", "2", 1641));
  EXPECT_EQ(Run({"C:\\fine"}), ReportAllWell);
  // A list whose first line is its byte order mark alone.
  MakeFile("bom.txt", "\xEF\xBB\xBF\r\nC:\\fine\r\n");
  EXPECT_EQ(Run({"@C:\\bom.txt"}), ReportAllWell);
  // Two PCs that Windows takes for one get one row: that needs a look.
  // A full name and its short one are one PC, written twice.
  MakeFile("ab.txt", "ACCOUNTING-PC-0001\r\nb\r\nA\r\na.hr.corp\r\nA.HR.CORP\r\n"
                     "a\r\naccounting-pc-0002.x\r\nhq.a\r\nhq.b\r\nHQ.A\r\nhq.b\r\n");
  EXPECT_EQ(Run({"--computers", "C:\\ab.txt", "C:\\fine"}), ReportAttention);
  EXPECT_EQ(err_.substr(0, err_.find('\n')),
            "C:\\ab.txt:7: accounting-pc-0002.x is one computer with "
            "ACCOUNTING-PC-0001 of line 1 to Windows, which keeps of a name "
            "the first 15 bytes before the dot; list each PC by its computer "
            "name");
  EXPECT_EQ(err_.find("hq.b is one"), err_.rfind("hq.b is one"));
  EXPECT_NE(err_.find("C:\\ab.txt:9: hq.b is one"), std::string::npos);

  // A folder without logs, an empty list: nothing to read needs a look too.
  const std::string fine =
      "zrreport: 2 computers: 0 success, 1 not-applicable, 1 restart-needed, "
      "1 restart-started, 0 failed, 0 no-record, 0 no-log, 0 unreadable\n";
  MakeFile("empty.txt", "\xFF\xFE\r\0\n\0");
  EXPECT_EQ(Run({"C:\\fine", "C:\\empty", "@C:\\empty.txt"}), ReportAttention);
  EXPECT_EQ(err_, "C:\\empty: no .log file in this folder\n"
                  "C:\\empty.txt: the list names no path\n" + fine);
  // A folder whose path leaves no room for a file's name in it.
  std::string deep = std::string(85, 'd') + "/" + std::string(85, 'd') +
                     "/" + std::string(83, 'd');
  MakeFolder(deep);
  std::replace(deep.begin(), deep.end(), '/', '\\');
  deep = "C:\\" + deep;
  EXPECT_EQ(Run({deep}), ReportAttention);
  EXPECT_EQ(err_.substr(0, err_.find('\n')), deep + ": path too long");
  HostFailCall("FindFirstFileA", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Run({"C:\\fine"}), ReportAttention);
  EXPECT_EQ(err_, "C:\\fine: cannot list the folder (error 5)\n" +
                      Summary("0 computers", 0, 0,
                              "0 no-record, 0 no-log, 0 unreadable"));
  // A table that cannot be written is not a PC's failure.
  HostFailCall("WriteFile", ERROR_DISK_FULL, 1);
  EXPECT_EQ(Run({"C:\\fine"}), ReportUsage);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_, "zrreport: cannot write the table (error 112)\n" + fine);
  EXPECT_EQ(Run({"@C:\\nolist.txt"}), ReportAttention);
  EXPECT_EQ(err_.substr(0, err_.find('\n') + 1),
            "C:\\nolist.txt: cannot read the list (error 2)\n");
  EXPECT_EQ(Run({"--computers", "C:\\empty.txt", "C:\\fine"}), ReportUsage);
  EXPECT_EQ(err_, "C:\\empty.txt: the list names no computer\n");
  MakeFile("unmarked.txt", std::string("P\0C\0\r\0\n\0", 8));
  for (const char* list : {"--computers", "@C:\\unmarked.txt"}) {
    EXPECT_EQ(Run({list, "C:\\unmarked.txt", "C:\\fine"}), ReportUsage);
    EXPECT_EQ(err_,
              "C:\\unmarked.txt: cannot read the list: it holds NUL bytes, "
              "as UTF-16 without a byte order mark does; save it as ANSI or "
              "Unicode\n");
  }

  EXPECT_EQ(Run({}), ReportUsage);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_, kUsage);
  EXPECT_EQ(Run({"--package", "2.0"}), ReportUsage);
  EXPECT_EQ(err_, "zrreport: no log given\n" + kUsage);
  for (std::vector<std::string> wrong :
       {std::vector<std::string>{"--all"}, {"--package"}, {"--package", ""}}) {
    wrong.insert(wrong.begin(), "C:\\fine");
    EXPECT_EQ(Run(wrong), ReportUsage);
    EXPECT_EQ(out_, "");
    EXPECT_EQ(err_, "zrreport: unknown option, or one without its value: " +
                        wrong[1] + "\n" + kUsage);
  }
  for (const char* help : {"-h", "--help", "-?", "/?"}) {
    EXPECT_EQ(Run({"C:\\fine", help}), ReportAllWell);
    EXPECT_EQ(out_, kUsage);
  }
}

// Two collected copies of one computer's log: each package's latest
// record stands, an empty copy adds nothing, the name is spelt once.
TEST_F(RunReportTest, LogsOfOneComputerMakeOneSetOfRows) {
  for (const char* folder : {"round1", "round2", "round3"}) MakeFolder(folder);
  MakeFile("round1/PC1.log", Record("03-07-2005 09:00:00", "1", "2", 1) +
                                 Record("03-07-2005 09:00:00", "5", "6", 0));
  MakeFile("round2/pc1.log", Record("03-08-2005 09:00:00", "1", "2", 0) +
                                 Record("03-06-2005 09:00:00", "5", "6", 7));
  MakeFile("round3/PC1.log", "");
  // One package alone, and an empty copy.
  MakeFile("round1/PC2.log", Record("03-07-2005 09:00:00", "1", "2", 0));
  MakeFile("round3/PC2.log", "");
  EXPECT_EQ(Run({"C:\\round1", "C:\\round2", "C:\\round3"}), ReportAllWell);
  EXPECT_EQ(out_, std::string(kHeader) +
                      "PC1,2005-03-08,09:00:00,1,2,0,success\r\n"
                      "PC1,2005-03-07,09:00:00,5,6,0,success\r\n"
                      "PC2,2005-03-07,09:00:00,1,2,0,success\r\n");
}

// Under a double-byte code page a trail byte 0x5C is no separator, and a
// lead byte that ends the path is a byte of its own.
TEST_F(RunReportTest, DoubleByteNamesKeepTheirTrailBytes) {
  HostSetCodePage(932);
  EXPECT_EQ(Run({"C:\\gone\\\x95\x5C.log"}), ReportAttention);
  EXPECT_EQ(out_, std::string(kHeader) + "\x95\x5C,,,,,,unreadable\r\n");
  const char path[] = "C:\\PC\x95\0\\x";
  EXPECT_STREQ(LastNameOf(path), "PC\x95");
  // A trail byte 0x41 is no A: PC-\x83\x41 and PC-\x83\x61 are two PCs.
  EXPECT_NE(CompareComputerNames("PC-\x83\x41", "pc-\x83\x61"), 0);
  EXPECT_EQ(CompareComputerNames("PC-\x83\x41", "pc-\x83\x41"), 0);
}

// Texts that need quoting, and a log longer than a read block with a line
// across the block's end and one longer than a block.
TEST_F(RunReportTest, FieldsAreQuotedAndLongLogsReadWhole) {
  std::string log;
  while (log.size() < 70000)
    log += Record("03-07-2005 09:05:41", "old", "2.0", 5);
  log += std::string(3 * kTextBlockSize + 5, '\0') + "\r\n";
  log += Record("03-07-2005 09:05:42", "he said \"hi\", \xE9", "a\rb", 0);
  log += Record("03-07-2005 09:05:43", "old", "2.0", 0);
  MakeFile("PC7.log", log);
  size_t long_line = log.find('\0');
  unsigned number = 1;
  for (size_t i = 0; i < long_line; ++i) number += log[i] == '\n';

  EXPECT_EQ(Run({"C:\\PC7.log"}), ReportAllWell);
  EXPECT_EQ(out_, std::string(kHeader) +
                      "PC7,2005-03-07,09:05:42,\"he said \"\"hi\"\", \xE9\","
                      "\"a\rb\",0,success\r\n"
                      "PC7,2005-03-07,09:05:43,old,2.0,0,success\r\n");
  // The line longer than three blocks: one message, and the next line's
  // number is right.
  MakeFile("PC8.log", log + "x\r\n");
  EXPECT_EQ(Run({"C:\\PC8.log"}), ReportAllWell);
  EXPECT_EQ(err_, "C:\\PC8.log:" + std::to_string(number) +
                      ": not a result record\nC:\\PC8.log:" +
                      std::to_string(number + 3) + ": not a result record\n" +
                      Summary("1 computer", 2, 0,
                              "0 no-record, 0 no-log, 0 unreadable"));
}

// A fleet of 300 logs, a table larger than the output's 64 KiB blocks:
// one row per computer for the version asked for, and listed computers
// without a log.
TEST_F(RunReportTest, AFleetOfThreeHundred) {
  MakeFolder("zrlogs");
  std::string computers;
  for (int pc = 0; pc < 310; ++pc) {
    std::string name = "PC" + std::to_string(1000 + pc);
    computers += name + "\r\n";
    std::string log;
    for (int run = 0; run < 40; ++run)
      log += Record("03-07-2005 09:05:41", std::to_string(run).c_str(),
                    run % 2 ? "2.0" : "3.0", pc % 10 == 0 && run >= 38);
    if (pc < 300)
      MakeFile("zrlogs/" + name + ".log", log);
  }
  MakeFile("computers.txt", computers);
  EXPECT_EQ(Run({"C:\\zrlogs"}), ReportAttention);
  EXPECT_GT(out_.size(), 64u * 1024);
  EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 1 + 300 * 40);
  EXPECT_EQ(err_, Summary("300 computers", 300 * 40 - 60, 60,
                          "0 no-record, 0 no-log, 0 unreadable"));
  EXPECT_EQ(Run({"--package", "2.0", "--computers", "C:\\computers.txt",
                 "C:\\zrlogs"}),
            ReportAttention);
  EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 1 + 310);
  EXPECT_EQ(err_, Summary("310 computers", 270, 30,
                          "0 no-record, 10 no-log, 0 unreadable"));
}

}  // namespace
