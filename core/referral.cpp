#include "core/referral.h"

#include <QUrl>

namespace referral {

namespace {
QString encoded(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

bool unfilled(const QString &value, const QString &placeholder)
{
    return value.isEmpty() || value == placeholder;
}
} // namespace

std::optional<QString> refusal(const ReferralValues &values)
{
    const QString &email = values.yourEmail;
    const QString &friendEmail = values.friendEmail;
    if (email == friendEmail)
        return QStringLiteral("Please Enter Distinct Email Addresses");
    if (!email.contains(QLatin1Char('@')) || !friendEmail.contains(QLatin1Char('@')))
        return QStringLiteral("Please Enter Proper Email Address");
    if (!email.contains(QLatin1Char('.')) || !friendEmail.contains(QLatin1Char('.')))
        return QStringLiteral("Please Enter Proper Email Address");

    if (unfilled(values.yourName, kYourNamePlaceholder))
        return QStringLiteral("Please Enter Your Name");
    if (unfilled(email, kYourEmailPlaceholder))
        return QStringLiteral("Please Enter Your Email");
    if (unfilled(values.yourMessage, kYourMessagePlaceholder))
        return QStringLiteral("Please Enter Your Message");
    if (unfilled(values.friendName, kFriendNamePlaceholder))
        return QStringLiteral("Please Enter Your Friend's Name");
    if (unfilled(friendEmail, kFriendEmailPlaceholder))
        return QStringLiteral("Please Enter Your Friend's Email");
    return std::nullopt;
}

QString referralAddress(const QString &makerWebSite, const ReferralValues &values)
{
    return makerWebSite + QStringLiteral("/qzpr-refer-a-friend.php") + QLatin1Char('?') + QStringLiteral("taf1=")
        + encoded(values.yourName) + QStringLiteral("&taf2=") + encoded(values.yourEmail) + QStringLiteral("&taf3=")
        + encoded(values.yourMessage) + QStringLiteral("&taf4=") + encoded(values.friendName) + QStringLiteral("&taf5=")
        + encoded(values.friendEmail) + QStringLiteral("&taf6=") + encoded(makerWebSite + QStringLiteral("/brimvale/"));
}

} // namespace referral
