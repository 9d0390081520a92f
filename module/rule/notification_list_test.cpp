// The notification list: arrival order, first-in-first-out for repeated numbers, removal that
// frees what a record owns, and the clean-up of records left when the bubble thread ends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "rule/notification_list.h"

namespace {

std::vector<DWORD> removedNumbers;
void Removed(DWORD number) { removedNumbers.push_back(number); }

LPWSTR Copy(const char16_t* s) { return _wcsdup(s); }

TEST(NotificationList, FindAndRemoveInArrivalOrder) {
  SmsNotification* a = AddSms(40);
  SmsNotification* b = AddSms(41);
  SmsNotification* c = AddSms(40);  // the counter went back to 40 while 40 was still listed
  ASSERT_TRUE(a && b && c);
  a->pszHTML = Copy(u"first");
  c->pszHTML = Copy(u"third");
  a->lpMsgEntryId = static_cast<LPBYTE>(malloc(4));
  a->cbMsgEntryId = 4;

  EXPECT_EQ(findsms(40), a);
  EXPECT_EQ(findsms(41), b);
  EXPECT_EQ(findsms(39), nullptr);

  RemoveSms(40);
  EXPECT_EQ(findsms(40), c) << "the older of two records with one number goes first";
  RemoveSms(99);  // unknown: nothing changes
  EXPECT_EQ(findsms(41), b);
  EXPECT_EQ(findsms(40), c);
  RemoveSms(40);
  RemoveSms(41);
  EXPECT_EQ(findsms(40), nullptr);
  EXPECT_EQ(findsms(41), nullptr);
}

TEST(NotificationList, NewRecordsAreZeroApartFromTheirNumber) {
  SmsNotification* r = AddSms(123);
  ASSERT_NE(r, nullptr);
  SmsNotification zero;
  memset(&zero, 0, sizeof(zero));
  zero.dwNumber = 123;
  EXPECT_EQ(memcmp(r, &zero, sizeof(zero)), 0);
  RemoveSms(123);
}

TEST(NotificationList, ClearingFreesEveryRecord) {
  for (DWORD n : {40u, 41u, 42u}) {
    SmsNotification* r = AddSms(n);
    ASSERT_NE(r, nullptr);
    r->pszSender = Copy(u"+441234567890");
    r->lpFolderEntryId = static_cast<LPBYTE>(malloc(8));
  }
  removedNumbers.clear();
  EXPECT_EQ(ClearSmsList(Removed), 3);
  EXPECT_EQ(removedNumbers, (std::vector<DWORD>{40, 41, 42}));
  EXPECT_EQ(findsms(40), nullptr);
  EXPECT_EQ(ClearSmsList(Removed), 0);
}

TEST(NotificationList, CounterStartsAtForty) { EXPECT_EQ(g_dwNotificationNumber, 40u); }

}  // namespace
