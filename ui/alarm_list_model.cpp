#include "ui/alarm_list_model.h"

#include <iterator>

#include "core/actionstrip.h"
#include "widgets/file_text.h"
#include "widgets/themed_icon.h"

namespace ringmere::ui {

namespace {

// Each action's icon file and what it says, for screen readers, in the
// order of ActionIcon.
struct ActionLook {
    const char* icon;
    const char* name;
};
constexpr ActionLook kActionLooks[] = {
    {"act-sound", "sound file"},          {"act-cd", "audio CD"},
    {"act-dialup", "network connection"}, {"act-launch", "launch program"},
    {"act-web", "web page"},              {"act-mail", "e-mail"},
    {"act-sleep", "sleep"},               {"act-timesync", "time synchronisation"},
    {"act-ftp", "FTP"},                   {"act-fileop", "file operation"},
};
static_assert(std::size(kActionLooks) == std::size_t(ActionIcon::kFileOp) + 1);

QString EndRuleName(Byte endType) {
    if (endType == kEndOnce) return QStringLiteral("Once");
    if (endType == kEndAtDate) return QStringLiteral("Until an end date");
    return QStringLiteral("No end");
}

QString EndRuleIcon(Byte endType) {
    if (endType == kEndOnce) return QStringLiteral(":/icons/end-once.svg");
    if (endType == kEndAtDate) return QStringLiteral(":/icons/end-until.svg");
    return QStringLiteral(":/icons/end-forever.svg");
}

QVariant StripCell(const AlRec& a, int role) {
    if (role != AlarmListModel::kStripRole && role != Qt::AccessibleTextRole) return {};
    QStringList strip, names;
    for (ActionIcon icon : ActionStrip(a)) {
        const ActionLook& look = kActionLooks[std::size_t(icon)];
        strip << QString::fromLatin1(look.icon);
        names << QString::fromLatin1(look.name);
    }
    if (role == AlarmListModel::kStripRole) return strip;
    return names.isEmpty() ? QStringLiteral("No actions") : names.join(QStringLiteral(", "));
}

}  // namespace

AlarmListModel::AlarmListModel(const Globals& g, QObject* parent)
    : HeaderModel({QString(), QString(), QStringLiteral("Alarm Name"), QStringLiteral("Events")},
                  parent),
      g_(g) {}

void AlarmListModel::Refill() {
    placeholder_ = g_.AlarmCount <= 0;
    Resize(placeholder_ ? 1 : g_.AlarmCount);
}

void AlarmListModel::AlarmChanged(int alarm) {
    if (alarm >= 1 && alarm <= rowCount())
        emit dataChanged(index(alarm - 1, 0), index(alarm - 1, columnCount() - 1));
}

bool AlarmListModel::Damaged(int row) const {
    return g_.FirstDamagedAlarm > 0 && row + 1 >= g_.FirstDamagedAlarm;
}

const AlRec* AlarmListModel::Record(int row) const {
    const int alarm = row + 1;
    if (placeholder_ || alarm > g_.AlarmCount || std::size_t(alarm) >= g_.AlarmTable.size() ||
        Damaged(row))
        return nullptr;
    return &g_.AlarmTable[std::size_t(alarm)];
}

const QIcon& AlarmListModel::Icon(const QString& path) const {
    auto it = icons_.find(path);
    if (it == icons_.end()) it = icons_.insert(path, widgets::ThemedIcon(path, QPalette::Text));
    return *it;
}

QVariant AlarmListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int column = index.column();
    if (placeholder_) {
        return column == 2 && role == Qt::DisplayRole
                   ? QStringLiteral("Please click on Add Alarms to create alarms.")
                   : QVariant();
    }
    const AlRec* a = Record(index.row());
    if (!a) {
        // No check box: it would enable a record that holds nothing sure.
        return column == 2 && role == Qt::DisplayRole && Damaged(index.row())
                   ? QString::fromLatin1(kDamagedName)
                   : QVariant();
    }
    switch (column) {
        case 0:
            return role == Qt::CheckStateRole ? QVariant(a->enabled ? Qt::Checked : Qt::Unchecked)
                                              : QVariant();
        case 1:
            if (role == Qt::DecorationRole) return Icon(EndRuleIcon(a->Schedule.AlEndType));
            if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
                return EndRuleName(a->Schedule.AlEndType);
            return {};
        case 2:
            return role == Qt::DisplayRole ? QVariant(widgets::FromFileText(a->AlName))
                                           : QVariant();
        case 3:
            return StripCell(*a, role);
    }
    return {};
}

Qt::ItemFlags AlarmListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.column() == 0 && Record(index.row()) ? flags | Qt::ItemIsUserCheckable : flags;
}

bool AlarmListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 || !Record(index.row())) return false;
    const int alarm = index.row() + 1;
    emit EnabledToggled(alarm, value.toInt() == Qt::Checked);
    AlarmChanged(alarm);
    return true;
}

}  // namespace ringmere::ui
