#pragma once

#include <QString>

// The referral module: the values of the last "Refer A Friend" submit and the hand-over to the
// maker's referral page, which does whatever it does with them; the program itself sends nothing.
namespace modTellAFriend {

// Placeholders live in the fields as real text; a field holding its placeholder counts as unfilled.
inline const QString kYourNamePlaceholder = QStringLiteral("Your Name");
inline const QString kYourEmailPlaceholder = QStringLiteral("Your Email Address");
inline const QString kFriendNamePlaceholder = QStringLiteral("Friend's Name");
inline const QString kFriendEmailPlaceholder = QStringLiteral("Friend's Email Address");
inline const QString kYourMessagePlaceholder = QStringLiteral("Your Message");

// Trimmed field contents at the last submit, written before any check.
extern QString strYourName;
extern QString strYourEmail;
extern QString strYourMessage;
extern QString strFriendName;
extern QString strFriendEmail;
// The referral address last built.
extern QString strReferralUrl;

struct ReferralValues {
    QString yourName;
    QString yourEmail;
    QString yourMessage;
    QString friendName;
    QString friendEmail;
};

// The referral page address for these values on the given site (scheme and host, no trailing
// slash). Every value is percent-encoded as UTF-8, so no character of a value can end it, start
// another key or the fragment: the query always holds exactly taf1..taf6, in that order.
QString referralAddress(const QString &makerWebSite, const ReferralValues &values);

// Checks the five module values in order and shows the first failure's message; when all pass,
// builds strReferralUrl and opens it.
void SendReferral();

} // namespace modTellAFriend
