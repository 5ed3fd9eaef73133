#include "referral/modTellAFriend.h"

#include "platform/Platform.h"
#include "referral/frmFarewell.h"
#include "web/modHelp_links.h"

#include <QUrl>

namespace modTellAFriend {

QString strYourName;
QString strYourEmail;
QString strYourMessage;
QString strFriendName;
QString strFriendEmail;
QString strReferralUrl;

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

QString referralAddress(const QString &makerWebSite, const ReferralValues &values)
{
    return makerWebSite + QStringLiteral("/qzpr-refer-a-friend.php") + QLatin1Char('?')
        + QStringLiteral("taf1=") + encoded(values.yourName)
        + QStringLiteral("&taf2=") + encoded(values.yourEmail)
        + QStringLiteral("&taf3=") + encoded(values.yourMessage)
        + QStringLiteral("&taf4=") + encoded(values.friendName)
        + QStringLiteral("&taf5=") + encoded(values.friendEmail)
        + QStringLiteral("&taf6=") + encoded(makerWebSite + QStringLiteral("/brimvale/"));
}

void SendReferral()
{
    // The exit window stays on top: a message without it as owner could open behind it.
    QWidget *owner = forms::loaded<frmFarewell>();
    const auto refuse = [owner](const QString &text) {
        platform::messages().show(owner, text, platform::MessageIcon::Critical);
    };

    if (unfilled(strYourName, kYourNamePlaceholder))
        return refuse(QStringLiteral("Please Enter Your Name"));
    if (unfilled(strYourEmail, kYourEmailPlaceholder))
        return refuse(QStringLiteral("Please Enter Your Email"));
    if (unfilled(strYourMessage, kYourMessagePlaceholder))
        return refuse(QStringLiteral("Please Enter Your Message"));
    if (unfilled(strFriendName, kFriendNamePlaceholder))
        return refuse(QStringLiteral("Please Enter Your Friend's Name"));
    if (unfilled(strFriendEmail, kFriendEmailPlaceholder))
        return refuse(QStringLiteral("Please Enter Your Friend's Email"));

    strReferralUrl = referralAddress(modHelp::MakerWebSite,
                                     {strYourName, strYourEmail, strYourMessage, strFriendName, strFriendEmail});
    modHelp::OpenWebAddress(strReferralUrl);
}

} // namespace modTellAFriend
