#pragma once

#include <QGenericPlugin>

// Loaded into the installed program by the package test (QT_QPA_GENERIC_PLUGINS), it hands the
// program an InstallDriver that plays the new user at the installation dialog.
class InstallDriverPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "InstallDriverPlugin.json")

public:
    QObject *create(const QString &key, const QString &parameters) override;
};
