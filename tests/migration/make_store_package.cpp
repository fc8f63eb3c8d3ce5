// Writes the store of a recipe into a package folder:
//   ostrel_make_store_package RECIPE.json PACKAGE
// (fixtures/make_packages.sh remakes the checked-in packages with it).
#include "ds_store_recipe.h"

#include "app/ds_register_model_classes.h"
#include "model/ds_application_defaults.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RECIPE.json PACKAGE\n", argv[0]);
        return 2;
    }
    ds_register_application_defaults();
    ds_register_model_classes();
    QString error;
    const QJsonObject recipe = ds_recipe_from_file(QString::fromLocal8Bit(argv[1]), &error);
    if (recipe.isEmpty() || !ds_write_store_from_recipe(recipe, QString::fromLocal8Bit(argv[2]), &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(error));
        return 1;
    }
    return 0;
}
