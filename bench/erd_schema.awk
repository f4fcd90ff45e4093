# The diagram benchmarks' schema as a script for the mariadb client: awk -v schema=NAME -f erd_schema.awk
#
# 1,000 InnoDB tables, each with an `id` primary key and 4 to 12 columns of mixed types (some with
# comments), joined by foreign keys the way real schemas are: first one large connected group (ten
# hubs chained one to the next, each the centre of a star of 15 to 30 tables, a quarter of those
# with a short chain hanging off them and some also pointing at an earlier hub), then, until there
# are 1,000 tables, chains of 5 to 15 tables, stars of a hub and 5 to 30 tables, a few parents with
# a composite unique key and children referencing it, a few self-referencing trees and tables with
# no foreign key at all. Then 20 views over joins along those keys.
#
# The random numbers come from our own generator (Park and Miller's), not awk's rand(), so that
# every awk writes the same script: the benchmarks' results are only comparable on the same schema.

function rnd(n) {
    seed = (seed * 16807) % 2147483647
    return seed % n
}

function between(low, high) { return low + rnd(high - low + 1) }

function pick(list,    parts, n) {
    n = split(list, parts, " ")
    return parts[rnd(n) + 1]
}

# SQL string literal.
function quote(text) {
    gsub(/'/, "''", text)
    return "'" text "'"
}

# Starts a table named after WORD; its foreign keys are added with add_fk and add_composite_fk,
# and end_table writes it.
function begin_table(word) {
    ntables++
    tname = sprintf("%s_%04d", word, ntables)
    tword[tname] = word
    fk_n = 0
    self_ref = 0
    composite_key = 0
    delete used
    return tname
}

function add_fk(parent) {
    fk_n++
    fk_parent[fk_n] = parent
    fk_composite[fk_n] = 0
}

function add_composite_fk(parent) {
    fk_n++
    fk_parent[fk_n] = parent
    fk_composite[fk_n] = 1
    ncomposite_fks++
}

# A column name not yet used in the table: BASE, else BASE_2, BASE_3, ...
function column_name(base,    name, n) {
    name = base
    for (n = 2; name in used; n++) name = base "_" n
    used[name] = 1
    return name
}

function column_comment() {
    return pick("Set_by_the_import_job Shown_on_invoices Kept_for_the_auditors Free_text_from_the_web_form " \
                "Net_amount,_in_EUR Filled_in_by_the_nightly_batch Legacy:_copied_from_the_old_system " \
                "Null_until_the_order_ships Tax_rate_<=_25%_&_rounded Customer's_own_reference " \
                "\"Primary\"_means_the_default_one Local_time_of_the_branch")
}

# One filler column of a random kind: its definition (the name goes to last_column).
function filler_column(tries,    kind, name, type, null, extra, definition, comment) {
    kind = rnd(6)
    extra = ""
    if (kind == 0) {
        name = pick("quantity position score attempts priority year_made rank_no stock_level visits")
        type = rnd(4) == 0 ? "SMALLINT UNSIGNED" : "INT"
        if (rnd(2)) extra = " DEFAULT " rnd(10)
    } else if (kind == 1) {
        name = pick("name title email city reference label phone surname street code_name")
        type = "VARCHAR(" pick("32 64 100 255") ")"
    } else if (kind == 2) {
        name = pick("amount price balance weight discount total cost tax_rate")
        type = "DECIMAL(10,2)"
        if (rnd(2)) extra = " DEFAULT 0.00"
    } else if (kind == 3) {
        name = pick("created_at updated_at shipped_at due_at closed_at valid_from valid_until")
        type = "DATETIME"
        if (name == "created_at") extra = " DEFAULT CURRENT_TIMESTAMP"
    } else if (kind == 4) {
        name = pick("note description body remarks summary")
        type = "TEXT"
    } else {
        name = pick("status priority_level channel kind")
        if (name == "status") type = "ENUM('new','active','on_hold','closed')"
        else if (name == "priority_level") type = "ENUM('low','normal','high')"
        else if (name == "channel") type = "ENUM('web','shop','phone','partner')"
        else type = "ENUM('a','b','c')"
        extra = " DEFAULT " (name == "status" ? "'new'" : name == "priority_level" ? "'normal'" : name == "channel" ? "'web'" : "'a'")
    }
    # Another kind when this one's names are taken, rather than name_2 and the like.
    if (name in used && tries < 4) return filler_column(tries + 1)
    name = column_name(name)
    last_column = name
    null = rnd(5) < 2 ? " NULL" : " NOT NULL"
    definition = "`" name "` " type null extra
    if (rnd(4) == 0) {
        comment = column_comment()
        gsub(/_/, " ", comment)
        definition = definition " COMMENT " quote(comment)
    }
    return definition
}

function on_delete(nullable) {
    if (nullable) return pick("SET_NULL CASCADE RESTRICT NO_ACTION")
    return pick("CASCADE RESTRICT")
}

# Writes the table begun last, with its foreign keys, and records its edges for the views.
function end_table(    comment, columns, keys, k, parent, word, col, col2, nullable, action, target, n, first) {
    columns = "`id` INT UNSIGNED NOT NULL AUTO_INCREMENT"
    used["id"] = 1
    keys = ""
    n = 1
    if (composite_key) {
        used["code"] = 1
        used["revision"] = 1
        columns = columns ", `code` VARCHAR(16) NOT NULL COMMENT 'Catalogue code', `revision` SMALLINT UNSIGNED NOT NULL DEFAULT 1"
        keys = keys ", UNIQUE KEY `uq_" tname "_code_revision` (`code`, `revision`)"
        n += 2
    }
    for (k = 1; k <= fk_n; k++) {
        parent = fk_parent[k]
        word = tword[parent]
        nullable = rnd(3) == 0
        action = on_delete(nullable)
        gsub(/_/, " ", action)
        if (fk_composite[k]) {
            col = column_name(word "_code")
            col2 = column_name(word "_revision")
            columns = columns sprintf(", `%s` VARCHAR(16) %s, `%s` SMALLINT UNSIGNED %s", col,
                                      nullable ? "NULL" : "NOT NULL", col2, nullable ? "NULL" : "NOT NULL")
            keys = keys sprintf(", CONSTRAINT `fk_%s_%d` FOREIGN KEY (`%s`, `%s`) REFERENCES `%s` (`code`, `revision`) ON DELETE %s",
                                tname, k, col, col2, parent, action)
            n += 2
            edge(tname, parent, "@C.`" col "` = @P.`code` AND @C.`" col2 "` = @P.`revision`")
        } else {
            col = column_name(word "_id")
            columns = columns sprintf(", `%s` INT UNSIGNED %s", col, nullable ? "NULL" : "NOT NULL")
            if (rnd(5) == 0) columns = columns " COMMENT " quote("The " word " this row belongs to")
            keys = keys sprintf(", CONSTRAINT `fk_%s_%d` FOREIGN KEY (`%s`) REFERENCES `%s` (`id`) ON DELETE %s",
                                tname, k, col, parent, action)
            n++
            edge(tname, parent, "@C.`" col "` = @P.`id`")
        }
    }
    if (self_ref) {
        col = column_name("parent_id")
        columns = columns ", `" col "` INT UNSIGNED NULL COMMENT 'Parent row in the same table; NULL at the top'"
        keys = keys sprintf(", CONSTRAINT `fk_%s_parent` FOREIGN KEY (`%s`) REFERENCES `%s` (`id`) ON DELETE SET NULL",
                            tname, col, tname)
        n++
        nself++
    }
    target = between(4, 12)
    if (target <= n) target = n + 1
    if (target > 12) target = 12
    first = ""
    for (; n < target; n++) {
        columns = columns ", " filler_column(0)
        if (first == "") first = last_column
    }
    if (first == "") first = "id"
    first_column[tname] = first
    if (first != "id" && rnd(3) == 0) keys = keys ", KEY `idx_" tname "_" first "` (`" first "`)"
    printf "CREATE TABLE `%s` (%s, PRIMARY KEY (`id`)%s) ENGINE=InnoDB", tname, columns, keys
    if (rnd(10) < 3) {
        comment = pick("Master_data Day-to-day_records History,_kept_7_years Filled_by_the_shop's_import Lookup_values")
        gsub(/_/, " ", comment)
        printf " COMMENT=%s", quote(comment)
    }
    printf ";\n"
    nfks += fk_n
}

# CONDITION of an edge with its child's columns on alias CHILD and its parent's on PARENT.
function join_on(condition, child, parent) {
    gsub(/@C/, child, condition)
    gsub(/@P/, parent, condition)
    return condition
}

# A foreign key from CHILD to PARENT, kept for the views; the first one of each child is its way up.
function edge(child, parent, condition) {
    nedges++
    edge_child[nedges] = child
    edge_parent[nedges] = parent
    edge_on[nedges] = condition
    if (!(child in up_edge)) up_edge[child] = nedges
}

function chain(size,    k, t, parent, words) {
    words = pick("order invoice shipment ticket booking claim")
    words = words "_line " words "_item " words "_event " words "_note " words "_step"
    parent = begin_table(pick("customer supplier warehouse project contract"))
    end_table()
    for (k = 1; k < size; k++) {
        t = begin_table(pick(words))
        add_fk(parent)
        if (rnd(12) == 0 && nself < 12) self_ref = 1
        end_table()
        parent = t
    }
}

function star(spokes,    hub, k) {
    hub = begin_table(pick("country currency category brand employee department region tariff"))
    end_table()
    for (k = 0; k < spokes; k++) {
        begin_table(pick("address contact price_list assignment rating document payment visit"))
        add_fk(hub)
        end_table()
    }
}

# A parent keyed by (code, revision) and 1 to 3 children referencing that pair.
function composite_group(children,    parent, k, t) {
    parent = begin_table(pick("part_revision tariff_version catalogue_entry"))
    composite_key = 1
    end_table()
    for (k = 0; k < children; k++) {
        t = begin_table(pick("bill_of_material part_usage price_rule"))
        add_composite_fk(parent)
        end_table()
    }
}

BEGIN {
    if (schema == "") schema = "bench_erd"
    seed = 20240611
    total = 1000
    printf "DROP DATABASE IF EXISTS `%s`;\nCREATE DATABASE `%s`;\nUSE `%s`;\nSET foreign_key_checks = 0;\n", schema, schema, schema

    # The large group: ten hubs in a chain, each the centre of a star.
    hub_words = "company division site account_ledger product_line sales_channel fleet programme portfolio market"
    split(hub_words, hub_word, " ")
    for (h = 1; h <= 10; h++) {
        hub[h] = begin_table(hub_word[h])
        if (h > 1) add_fk(hub[h - 1])
        end_table()
        spokes = between(15, 30)
        for (k = 0; k < spokes; k++) {
            t = begin_table(pick("agent asset budget cost_centre forecast goal licence meeting policy report risk team vendor"))
            add_fk(hub[h])
            if (h > 2 && rnd(8) == 0) add_fk(hub[between(1, h - 1)])
            end_table()
            if (rnd(4) == 0) {
                depth = between(1, 3)
                for (d = 0; d < depth; d++) {
                    parent = t
                    t = begin_table(pick("entry revision approval attachment comment"))
                    add_fk(parent)
                    end_table()
                }
            }
        }
    }
    big_group = ntables

    # The rest, group by group; the last one is cut to what is left.
    while (ntables < total) {
        left = total - ntables
        kind = rnd(100)
        if (kind < 30 && left >= 5) {
            n = between(5, 15)
            chain(n < left ? n : left)
        } else if (kind < 55 && left >= 6) {
            n = between(5, 30)
            star(n < left - 1 ? n : left - 1)
        } else if (kind < 62 && ncomposite_fks < 12 && left >= 4) {
            composite_group(between(1, 3))
        } else if (kind < 70 && nself < 12) {
            begin_table(pick("category_tree org_unit menu_item folder"))
            self_ref = 1
            end_table()
        } else {
            n = between(1, 4)
            if (n > left) n = left
            for (k = 0; k < n; k++) {
                begin_table(pick("setting audit_log import_batch counter feature_flag mail_queue"))
                end_table()
                nlonely++
            }
        }
    }

    # Views over joins: a child and its parent, and the parent's own parent where it has one.
    for (v = 0; v < 20; v++) {
        e = 1 + int((v * 97 + 13) % nedges)
        c = edge_child[e]
        p = edge_parent[e]
        select = "c.`id`"
        if (first_column[c] != "id") select = select sprintf(", c.`%s`", first_column[c])
        select = select sprintf(", p.`id` AS `%s_id`", p)
        if (first_column[p] != "id") select = select sprintf(", p.`%s` AS `%s_%s`", first_column[p], p, first_column[p])
        from = sprintf("`%s` c %s `%s` p ON %s", c, v % 4 == 3 ? "LEFT JOIN" : "JOIN", p, join_on(edge_on[e], "c", "p"))
        if (p in up_edge) {
            g = edge_parent[up_edge[p]]
            select = select sprintf(", g.`id` AS `%s_id`", g)
            from = from sprintf(" JOIN `%s` g ON %s", g, join_on(edge_on[up_edge[p]], "p", "g"))
        }
        printf "CREATE VIEW `v_%s` AS SELECT %s FROM %s;\n", c, select, from
    }
    printf "SET foreign_key_checks = 1;\n"
    printf "-- %d tables (%d in the large group), %d foreign keys, %d composite, %d self-references, %d tables without any, %d views\n",
           ntables, big_group, nfks + nself, ncomposite_fks, nself, nlonely, v
}
