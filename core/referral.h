#pragma once

#include <QString>

#include <optional>

// The referral module: the values of a "Refer A Friend" submit, the checks they must pass, and
// the address of the maker's referral page, which does whatever it does with them; the program
// itself sends nothing.
namespace referral {

// Placeholders live in the fields as real text; a field holding its placeholder counts as unfilled.
inline const QString kYourNamePlaceholder = QStringLiteral("Your Name");
inline const QString kYourEmailPlaceholder = QStringLiteral("Your Email Address");
inline const QString kFriendNamePlaceholder = QStringLiteral("Friend's Name");
inline const QString kFriendEmailPlaceholder = QStringLiteral("Friend's Email Address");
inline const QString kYourMessagePlaceholder = QStringLiteral("Your Message");

// The field contents at a submit, trimmed of spaces.
struct ReferralValues {
    QString yourName;
    QString yourEmail;
    QString yourMessage;
    QString friendName;
    QString friendEmail;
};

// The message that refuses these values, from the first check they fail; none when all pass.
std::optional<QString> refusal(const ReferralValues &values);

// The referral page address for these values on the given site (scheme and host, no trailing
// slash). Every value is percent-encoded as UTF-8, so no character of a value can end it, start
// another key or the fragment: the query always holds exactly taf1..taf6, in that order.
QString referralAddress(const QString &makerWebSite, const ReferralValues &values);

} // namespace referral
